// The script language compiler: .zs source text in, the records of a
// compiled script file and their line map out. The language is described in
// docs/script-language.md; `z1tool script compile` is its command.
#ifndef ZENDAR_TOOLS_Z1TOOL_ZS_ZS_H
#define ZENDAR_TOOLS_Z1TOOL_ZS_ZS_H

#include <cstdint>
#include <string>
#include <vector>

#include "z1script/scriptfile.h"
#include "z1script/scriptlines.h"

struct ZsDiagnostic {
    int line = 0;
    int column = 0;
    bool warning = false;
    std::string message;
};

struct ZsOutput {
    bool ok = false;  // no errors: records and lines are complete
    std::vector<ScriptRecord> records;
    // Code offsets (from the first record's code, as the loader lays the
    // records out) to source lines.
    std::vector<ScriptLineEntry> lines;
    uint32_t codeSize = 0;
    std::vector<ZsDiagnostic> diagnostics;  // in source order
};

// Compiles a whole source. Never fails otherwise than through diagnostics.
ZsOutput CompileZs(const std::string& source);

// "FILE:LINE:COLUMN: message" or "FILE:LINE:COLUMN: warning: message".
std::string FormatZsDiagnostic(const std::string& file, const ZsDiagnostic& d);

#endif
