// z1tool dlg: compile, decompile and try out conversations without the game.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"
#include "dialog/dialoglanguage.h"
#include "dialog/dialogmanager.h"

namespace {

bool ReadWholeFile(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

int DlgCompile(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return z1tool::Usage("dlg compile");
    std::string source;
    if (!ReadWholeFile(args[0], &source))
        return z1tool::Fail("cannot read '" + args[0] + "'");
    std::vector<unsigned char> bytes;
    DialogCompileError error;
    if (!CompileDialogSource(source, &bytes, &error)) {
        std::fprintf(stderr, "%s:%d:%d: %s\n", args[0].c_str(), error.line, error.column, error.message.c_str());
        return z1tool::kFailed;
    }
    // What the game cannot load is not written.
    DIALOG check;
    if (!check.loadBytes(bytes.data(), bytes.size(), args[0].c_str(), args[1].c_str()))
        return z1tool::Fail(args[0] + ": the compiled dialog does not load (see the lines above)");
    std::ofstream out(args[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    out.close();
    if (!out)
        return z1tool::Fail("cannot write '" + args[1] + "'");
    return z1tool::kOk;
}

int DlgDecompile(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return z1tool::Usage("dlg decompile");
    std::string bytes;
    if (!ReadWholeFile(args[0], &bytes))
        return z1tool::Fail("cannot read '" + args[0] + "'");
    DIALOG dialog;
    if (!dialog.loadBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), args[0].c_str(),
                          args[0].c_str()))
        return z1tool::Fail("'" + args[0] + "' is not a loadable dialog file");
    std::string text = DecompileDialog(dialog);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return z1tool::kOk;
}

// The quest log and inventory of the test bench, kept as the game object does.
class BenchState : public EnvironmentProxy {
public:
    std::vector<std::string> quests;
    std::vector<std::string> items;

    bool questFlagDefined(const String& flag) override { return Has(quests, flag.c_str()); }
    bool hasItem(short, const String& name) override { return Has(items, name.c_str()); }
    void RemoveItem(const char* name) {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] == name) {
                items.erase(items.begin() + (long)i);
                return;
            }
    }

private:
    static bool Has(const std::vector<std::string>& list, const char* s) {
        for (const std::string& e : list)
            if (e == s)
                return true;
        return false;
    }
};

bool ParseChoices(const std::string& text, std::vector<int>* out) {
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        char* end = nullptr;
        long v = std::strtol(part.c_str(), &end, 10);
        if (part.empty() || *end)
            return false;
        out->push_back((int)v);
    }
    return true;
}

int DlgRun(const std::vector<std::string>& args) {
    std::string file;
    std::vector<int> choices;
    BenchState bench;
    long steps = 100;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "--choose" && hasValue) {
            if (!ParseChoices(args[++i], &choices))
                return z1tool::Usage("dlg run");
        } else if (a == "--quest" && hasValue) {
            bench.quests.push_back(args[++i]);
        } else if (a == "--item" && hasValue) {
            bench.items.push_back(args[++i]);
        } else if (a == "--steps" && hasValue) {
            char* end = nullptr;
            steps = std::strtol(args[++i].c_str(), &end, 10);
            if (*end || steps < 0)
                return z1tool::Usage("dlg run");
        } else if (a.size() > 1 && a[0] == '-') {
            return z1tool::Usage("dlg run");
        } else if (file.empty()) {
            file = a;
        } else {
            return z1tool::Usage("dlg run");
        }
    }
    if (file.empty())
        return z1tool::Usage("dlg run");
    // The loader adds the extension, as it does for "dialogs\" + name.
    std::string name = file;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dlg") == 0)
        name.resize(name.size() - 4);

    SetEnvironmentProxy(&bench);
    DialogBinding binding(name.c_str(), nullptr);
    if (!DialogManager::Bind(&binding)) {
        SetEnvironmentProxy(nullptr);
        return z1tool::Fail("cannot bind the dialog '" + file + "'");
    }
    size_t nextChoice = 0;
    for (long n = 0; n < steps; ++n) {
        Action* action = binding.instance->nextAction();
        if (!action)
            break;
        bool stop = false;
        switch (action->kind) {
        case ACTION_PLAYER: std::printf("player: %s\n", static_cast<ActionPlayerLine*>(action)->text.c_str()); break;
        case ACTION_NPC: {
            auto* line = static_cast<ActionNpcLine*>(action);
            if (line->listener)
                std::printf("npc %s to %s: %s\n", line->speaker.c_str(), line->listener->c_str(), line->text.c_str());
            else
                std::printf("npc %s: %s\n", line->speaker.c_str(), line->text.c_str());
            break;
        }
        case ACTION_REMARK: {
            auto* remark = static_cast<ActionRemark*>(action);
            std::printf("remark %s: %s\n", remark->speaker.c_str(), remark->text.c_str());
            break;
        }
        case ACTION_LOG: std::printf("log: %s\n", static_cast<ActionLogEntry*>(action)->text.c_str()); break;
        case ACTION_SUSPEND: std::printf("suspend\n"); break;
        case ACTION_QUERY: {
            auto* query = static_cast<ActionQuery*>(action);
            std::string line = "query:";
            for (size_t k = 0; k < query->optionTexts.size(); ++k)
                line += std::string(k ? " | " : " ") + query->optionTexts[k].c_str();
            std::printf("%s\n", line.c_str());
            if (nextChoice >= choices.size()) {
                stop = true;
                break;
            }
            int choice = choices[nextChoice++];
            std::printf("> %d\n", choice);
            std::fflush(stdout);
            query->select(choice);
            break;
        }
        case ACTION_SETQUEST: {
            const char* flag = static_cast<ActionSetQuest*>(action)->questFlag.c_str();
            std::printf("setquest %s\n", flag);
            bench.quests.push_back(flag);
            break;
        }
        case ACTION_EXECUTESCRIPT:
            std::printf("executescript %s\n", static_cast<ActionExecuteScript*>(action)->scriptName.c_str());
            break;
        case ACTION_ADDITEM:
        case ACTION_REMOVEITEM: {
            auto* item = static_cast<ActionItem*>(action);
            bool add = action->kind == ACTION_ADDITEM;
            std::printf("%s %d %s\n", add ? "additem" : "removeitem", (int)item->itemCount, item->itemName.c_str());
            if (add)
                bench.items.push_back(item->itemName.c_str());
            else
                bench.RemoveItem(item->itemName.c_str());
            break;
        }
        default: std::printf("unknown action %d\n", (int)action->kind); break;
        }
        std::fflush(stdout);
        delete action;
        if (stop)
            break;
    }
    SetEnvironmentProxy(nullptr);
    return z1tool::kOk;
}

Z1TOOL_COMMAND("dlg compile", "SRC OUT.dlg", "compile a dialog source into a dialog file", DlgCompile);
Z1TOOL_COMMAND("dlg decompile", "FILE.dlg", "print the source form of a dialog file", DlgDecompile);
Z1TOOL_COMMAND("dlg run", "FILE.dlg [--choose I,J,...] [--quest FLAG]... [--item NAME]... [--steps N]",
               "run a dialog as the game would, one line per action", DlgRun);

}  // namespace
