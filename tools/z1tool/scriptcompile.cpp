// z1tool script compile: the script language (.zs) into a compiled script
// file and its line map.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "z1script/scriptfile.h"
#include "z1script/scriptlines.h"
#include "zs/zs.h"

namespace {

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int RunCompile(const std::vector<std::string>& args) {
    if (args.size() != 2) return z1tool::Usage("script compile");
    std::string text;
    if (!z1tool::ReadInput(args[0], &text) || !z1tool::CheckText(args[0], text)) return z1tool::kFailed;
    ZsOutput out = CompileZs(text);
    int errors = 0;
    for (const ZsDiagnostic& d : out.diagnostics) {
        std::fprintf(stderr, "%s\n", FormatZsDiagnostic(args[0], d).c_str());
        if (!d.warning) ++errors;
    }
    if (!out.ok)
        return z1tool::FailFile(
            args[0], std::to_string(errors) + (errors == 1 ? " error" : " errors") + ", nothing written");
    std::string error;
    if (!WriteScriptFile(args[1].c_str(), out.records, &error)) return z1tool::Fail(error);
    if (!ScriptLineMap::Write(args[1].c_str(), BaseName(args[0]), out.lines, out.codeSize, &error))
        return z1tool::Fail(error);
    return z1tool::kOk;
}

}  // namespace

Z1TOOL_COMMAND("script compile", "SRC.zs OUT",
               "compile the script language into a compiled script file (and OUT.map, its line map)",
               RunCompile);
