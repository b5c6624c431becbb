// The compiler's stages in order, and its diagnostics.
#include "zs.h"

#include <algorithm>

#include "zscheck.h"
#include "zsgen.h"
#include "zsparser.h"

void Diagnostics::Add(ZsPos at, bool warning, const std::string& message) {
    if (!warning) {
        if (errors_ >= kMaxErrors) return;
        ++errors_;
    }
    ZsDiagnostic d;
    d.line = at.line;
    d.column = at.column;
    d.warning = warning;
    d.message = message;
    list_.push_back(d);
}

std::vector<ZsDiagnostic> Diagnostics::Sorted() const {
    std::vector<ZsDiagnostic> sorted = list_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const ZsDiagnostic& a, const ZsDiagnostic& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    return sorted;
}

ZsOutput CompileZs(const std::string& source) {
    Diagnostics diag;
    ZsOutput out;
    std::vector<Token> tokens = LexZs(source, diag);
    Unit unit = ParseZs(tokens, diag);
    if (!diag.Full()) CheckZs(unit, diag);
    if (diag.Errors() == 0) {
        GenerateZs(unit, diag, &out);
        if (diag.Errors() == 0 && out.records.empty())
            diag.Error(ZsPos{1, 1}, "nothing to compile: the file has no program and no function");
    }
    out.ok = diag.Errors() == 0;
    if (!out.ok) {
        out.records.clear();
        out.lines.clear();
        out.codeSize = 0;
    }
    out.diagnostics = diag.Sorted();
    return out;
}

std::string FormatZsDiagnostic(const std::string& file, const ZsDiagnostic& d) {
    std::string line = file + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) + ": " +
                       (d.warning ? "warning: " : "") + d.message;
    // A name quoted in a message may hold control characters; one line each.
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return line;
}
