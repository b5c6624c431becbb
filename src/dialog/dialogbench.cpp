#include "dialog/dialogbench.h"

#include "dialog/dialogmanager.h"

namespace {

// The quest log and inventory of the bench, kept as the game object does:
// flags and items are plain names, duplicates allowed, counts not used.
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
            if (e == s) return true;
        return false;
    }
};

// Restores the process's environment proxy however the run ends.
struct ProxyScope {
    explicit ProxyScope(EnvironmentProxy* p) : previous(GetEnvironmentProxy()) { SetEnvironmentProxy(p); }
    ~ProxyScope() { SetEnvironmentProxy(previous); }
    EnvironmentProxy* previous;
};

}  // namespace

std::string DescribeAction(const Action* action) {
    switch (action->kind) {
    case ACTION_PLAYER:
        return std::string("player: ") + static_cast<const ActionPlayerLine*>(action)->text.c_str();
    case ACTION_NPC: {
        auto* line = static_cast<const ActionNpcLine*>(action);
        std::string s = std::string("npc ") + line->speaker.c_str();
        if (line->listener) s += std::string(" to ") + line->listener->c_str();
        return s + ": " + line->text.c_str();
    }
    case ACTION_REMARK: {
        auto* remark = static_cast<const ActionRemark*>(action);
        return std::string("remark ") + remark->speaker.c_str() + ": " + remark->text.c_str();
    }
    case ACTION_LOG: return std::string("log: ") + static_cast<const ActionLogEntry*>(action)->text.c_str();
    case ACTION_SUSPEND: return "suspend";
    case ACTION_QUERY: {
        auto* query = static_cast<const ActionQuery*>(action);
        std::string s = "query:";
        for (size_t k = 0; k < query->optionTexts.size(); ++k)
            s += std::string(k ? " | " : " ") + query->optionTexts[k].c_str();
        return s;
    }
    case ACTION_SETQUEST:
        return std::string("setquest ") + static_cast<const ActionSetQuest*>(action)->questFlag.c_str();
    case ACTION_EXECUTESCRIPT:
        return std::string("executescript ") +
               static_cast<const ActionExecuteScript*>(action)->scriptName.c_str();
    case ACTION_ADDITEM:
    case ACTION_REMOVEITEM: {
        auto* item = static_cast<const ActionItem*>(action);
        return std::string(action->kind == ACTION_ADDITEM ? "additem " : "removeitem ") +
               std::to_string(item->itemCount) + " " + item->itemName.c_str();
    }
    default: return "unknown action " + std::to_string(action->kind);
    }
}

bool RunDialogBench(const char* dialogName, const DialogBenchOptions& options, FILE* out) {
    BenchState bench;
    bench.quests = options.quests;
    bench.items = options.items;
    ProxyScope scope(&bench);
    DialogBinding binding(dialogName, nullptr);
    if (!DialogManager::Bind(&binding)) return false;
    size_t nextChoice = 0;
    for (long n = 0; n < options.steps; ++n) {
        Action* action = binding.instance->nextAction();
        if (!action) break;
        std::fprintf(out, "%s\n", DescribeAction(action).c_str());
        std::fflush(out);
        bool stop = false;
        switch (action->kind) {
        case ACTION_QUERY:
            if (nextChoice < options.choices.size()) {
                int choice = options.choices[nextChoice++];
                std::fprintf(out, "> %d\n", choice);
                std::fflush(out);
                static_cast<ActionQuery*>(action)->select(choice);
            } else {
                stop = true;
            }
            break;
        case ACTION_SETQUEST:
            bench.quests.push_back(static_cast<ActionSetQuest*>(action)->questFlag.c_str());
            break;
        case ACTION_ADDITEM: bench.items.push_back(static_cast<ActionItem*>(action)->itemName.c_str()); break;
        case ACTION_REMOVEITEM: bench.RemoveItem(static_cast<ActionItem*>(action)->itemName.c_str()); break;
        default: break;
        }
        delete action;
        if (stop) break;
    }
    return true;
}
