#include "dialog/dialogbench.h"

#include <memory>

#include "dialog/dialogmanager.h"
#include "imports/gameimports.h"

namespace {

// The game's side of a conversation for the bench: a quest log and an
// inventory kept as the game object keeps them (plain names, duplicates
// allowed, counts not used), views that only hold their lines, and every
// action the presentation step hands over printed as it comes.
class BenchImports : public NullImports {
public:
    explicit BenchImports(FILE* out) : out_(out) {}

    std::vector<std::string> quests;
    std::vector<std::string> items;
    long printed = 0;

    bool QuestFlagDefined(const char* flag) override { return Has(quests, flag); }
    bool HasItem(const char* item) override { return Has(items, item); }
    void SetQuestFlag(const char* flag) override {
        PrintCurrent();
        quests.push_back(flag);
    }
    void AddItem(const char* item) override {
        PrintCurrent();
        items.push_back(item);
    }
    void RemoveItem(const char* item) override {
        PrintCurrent();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] == item) {
                items.erase(items.begin() + (long)i);
                break;
            }
    }
    void StartScript(const char*) override { PrintCurrent(); }
    void ShowMessage(const char*, float) override {}
    void SetPointerMode() override {}
    DialogTextBox* CreateConversationView(int, int) override { return new DialogTextLines(); }
    void PlaceConversationCamera(const float*, const float*) override {}

    // The action the presentation step is working on.
    void PrintCurrent() { Print(DescribeAction(DialogManager::CurrentAction())); }
    void Print(const std::string& line) {
        std::fprintf(out_, "%s\n", line.c_str());
        std::fflush(out_);
        ++printed;
    }

private:
    static bool Has(const std::vector<std::string>& list, const char* s) {
        for (const std::string& e : list)
            if (e == s) return true;
        return false;
    }
    FILE* out_;
};

// Puts back the process's imports, environment proxy and active
// conversation however the run ends.
struct BenchScope {
    BenchScope(GameImports* imports, EnvironmentProxy* proxy)
        : imports_(g_imports), proxy_(GetEnvironmentProxy()), active_(DialogManager::Active()) {
        SetGameImports(imports);
        SetEnvironmentProxy(proxy);
    }
    ~BenchScope() {
        DialogManager::SetActive(active_);
        SetEnvironmentProxy(proxy_);
        SetGameImports(imports_);
    }
    GameImports* imports_;
    EnvironmentProxy* proxy_;
    DialogBinding* active_;
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
    BenchImports bench(out);
    bench.quests = options.quests;
    bench.items = options.items;
    // Conditions ask the game through the same proxy as in the game.
    GameEnvironmentProxy proxy;
    BenchScope scope(&bench, &proxy);
    DialogBinding binding(dialogName, nullptr);
    if (!DialogManager::Bind(&binding)) return false;
    // The game's own step turns the actions into views, so the bench shows
    // what a player sees: where a view ends, the conversation closes.
    DialogManager::SetActive(&binding);
    size_t nextChoice = 0;
    while (bench.printed < options.steps) {
        std::unique_ptr<DialogTextBox> view(DialogManager::NextTextBox());
        Action* action = DialogManager::CurrentAction();
        if (!action) break;
        bench.PrintCurrent();
        if (!view) {
            // The player clicks the character again to go on.
            std::fprintf(out, "%s\n", kBenchViewEnds);
            std::fflush(out);
            continue;
        }
        if (action->kind != ACTION_QUERY) continue;
        if (nextChoice >= options.choices.size()) break;
        int choice = options.choices[nextChoice++];
        std::fprintf(out, "> %d\n", choice);
        std::fflush(out);
        DialogManager::Answer(choice);
    }
    return true;
}
