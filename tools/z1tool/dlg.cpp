// z1tool dlg: compile, decompile and try out conversations without the game.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"
#include "dialog/dialogbench.h"
#include "dialog/dialoglanguage.h"
#include "dialog/dialogmanager.h"
#include "dialog/dialogstreams.h"

namespace {

// The loader writes its error lines to the dialog error stream. A command
// catches them, so that it ends with its own one line, which quotes the
// first of them as the engine wrote it.
class LoaderErrors {
public:
    LoaderErrors() : file_(std::tmpfile()) {
        if (file_) SetDialogErrorStream(file_);
    }
    ~LoaderErrors() {
        SetDialogErrorStream(nullptr);
        if (file_) std::fclose(file_);
    }
    std::string First() {
        std::string line;
        if (!file_) return line;
        std::fflush(file_);
        std::rewind(file_);
        int c;
        while ((c = std::fgetc(file_)) != EOF && c != '\n') line += static_cast<char>(c);
        return line;
    }
    // After a run that went well: every line, where it would have gone.
    void Pass() {
        if (!file_) return;
        std::fflush(file_);
        std::rewind(file_);
        int c;
        while ((c = std::fgetc(file_)) != EOF) std::fputc(c, stderr);
    }

private:
    FILE* file_;
};

std::string Quoting(const std::string& what, const std::string& first) {
    return first.empty() ? what : what + ": " + first;
}

int DlgCompile(const std::vector<std::string>& args) {
    if (args.size() != 2) return z1tool::Usage("dlg compile");
    std::string source;
    if (!z1tool::ReadInput(args[0], &source) || !z1tool::CheckText(args[0], source)) return z1tool::kFailed;
    std::vector<unsigned char> bytes;
    DialogCompileError first;
    std::vector<DialogCompileError> mistakes;
    if (!CompileDialogSource(source, &bytes, &first, &mistakes)) {
        for (const DialogCompileError& e : mistakes)
            std::fprintf(stderr, "%s:%d:%d: %s\n", args[0].c_str(), e.line, e.column, e.message.c_str());
        return z1tool::kFailed;
    }
    // What the game cannot load is not written.
    DIALOG check;
    LoaderErrors errors;
    if (!check.loadBytes(bytes.data(), bytes.size(), args[0].c_str(), args[1].c_str()))
        return z1tool::FailFile(args[0], Quoting("the compiled dialog does not load", errors.First()));
    std::ofstream out(args[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    out.close();
    if (!out) return z1tool::Fail("cannot write '" + args[1] + "'");
    return z1tool::kOk;
}

int DlgDecompile(const std::vector<std::string>& args) {
    if (args.size() != 1) return z1tool::Usage("dlg decompile");
    std::string bytes;
    if (!z1tool::ReadInput(args[0], &bytes)) return z1tool::kFailed;
    DIALOG dialog;
    LoaderErrors errors;
    if (!dialog.loadBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), args[0].c_str(),
                          args[0].c_str()))
        return z1tool::FailFile(args[0], Quoting("is not a loadable dialog file", errors.First()));
    std::string text = DecompileDialog(dialog);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return z1tool::kOk;
}

bool ParseChoices(const std::string& text, std::vector<int>* out) {
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        char* end = nullptr;
        long v = std::strtol(part.c_str(), &end, 10);
        if (part.empty() || *end) return false;
        out->push_back((int)v);
    }
    return true;
}

int DlgRun(const std::vector<std::string>& args) {
    std::string file;
    DialogBenchOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "--choose" && hasValue) {
            if (!ParseChoices(args[++i], &options.choices)) return z1tool::Usage("dlg run");
        } else if (a == "--quest" && hasValue) {
            options.quests.push_back(args[++i]);
        } else if (a == "--item" && hasValue) {
            options.items.push_back(args[++i]);
        } else if (a == "--steps" && hasValue) {
            char* end = nullptr;
            options.steps = std::strtol(args[++i].c_str(), &end, 10);
            if (*end || options.steps < 0) return z1tool::Usage("dlg run");
        } else if (a.size() > 1 && a[0] == '-') {
            return z1tool::Usage("dlg run");
        } else if (file.empty()) {
            file = a;
        } else {
            return z1tool::Usage("dlg run");
        }
    }
    if (file.empty()) return z1tool::Usage("dlg run");
    if (!z1tool::CheckInput(file)) return z1tool::kFailed;
    // The loader adds the extension, as it does for "dialogs\" + name.
    std::string name = file;
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".dlg") != 0)
        return z1tool::FailFile(file, "is not named FILE.dlg (the loader adds the extension)");
    name.resize(name.size() - 4);

    LoaderErrors errors;
    if (!RunDialogBench(name.c_str(), options, stdout))
        return z1tool::FailFile(file, Quoting("cannot bind the dialog", errors.First()));
    errors.Pass();
    return z1tool::kOk;
}

Z1TOOL_COMMAND("dlg compile", "SRC OUT.dlg", "compile a dialog source into a dialog file", DlgCompile);
Z1TOOL_COMMAND("dlg decompile", "FILE.dlg", "print the source form of a dialog file", DlgDecompile);
Z1TOOL_COMMAND("dlg run", "FILE.dlg [--choose I,J,...] [--quest FLAG]... [--item NAME]... [--steps N]",
               "run a dialog as the game would, one line per action", DlgRun);

}  // namespace
