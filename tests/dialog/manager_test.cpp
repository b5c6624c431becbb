// The dialog manager: cache, parameter API, bindings and the presentation
// step that turns actions into text boxes and game changes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "dialog/dialogmanager.h"
#include "dialog_test_util.h"
#include "settings/settings.h"
#include "utility/log.h"

using dlgtest::ErrorCapture;

namespace {

// The game's side as the dialog manager reaches it through the imports.
class RecordingPresentation : public NullImports {
public:
    std::vector<std::string> calls;
    std::vector<std::string> quests, items;

    DialogTextBox* CreateConversationView(int x, int y) override {
        calls.push_back("textbox " + std::to_string(x) + " " + std::to_string(y));
        return new DialogTextLines();
    }
    void PlaceConversationCamera(const float eye[3], const float target[3]) override {
        char buf[160];
        std::snprintf(buf, sizeof buf, "camera %g %g %g -> %g %g %g", eye[0], eye[1], eye[2], target[0],
                      target[1], target[2]);
        calls.push_back(buf);
    }
    bool QuestFlagDefined(const char* q) override {
        for (auto& e : quests)
            if (e == q) return true;
        return false;
    }
    bool HasItem(const char* i) override {
        for (auto& e : items)
            if (e == i) return true;
        return false;
    }
    void SetQuestFlag(const char* q) override {
        calls.push_back(std::string("setquest ") + q);
        quests.push_back(q);
    }
    void AddItem(const char* i) override {
        calls.push_back(std::string("additem ") + i);
        items.push_back(i);
    }
    void RemoveItem(const char* i) override { calls.push_back(std::string("removeitem ") + i); }
    void StartScript(const char* s) override { calls.push_back(std::string("script ") + s); }
};

class RecordingCharacter : public DialogCharacter {
public:
    std::vector<float> talks;
    const char* GetConversationName() override { return "Gus"; }
    void StartTalking(float seconds) override { talks.push_back(seconds); }
    void GetConversationFrame(float p[3], float x[3], float z[3]) override {
        p[0] = 10;
        p[1] = 5;
        p[2] = 20;
        x[0] = 0;
        x[1] = 0;
        x[2] = -1;  // turned a quarter: local X is world -Z
        z[0] = 1;
        z[1] = 0;
        z[2] = 0;
    }
};

struct PresentationScope {
    RecordingPresentation presentation;
    GameEnvironmentProxy proxy;
    PresentationScope() {
        SetGameImports(&presentation);
        SetEnvironmentProxy(&proxy);
    }
    ~PresentationScope() {
        SetGameImports(nullptr);
        SetEnvironmentProxy(nullptr);
        DialogManager::SetActive(nullptr);
    }
};

std::vector<std::string> Lines(DialogTextBox* box) {
    std::vector<std::string> out;
    for (auto& l : static_cast<DialogTextLines*>(box)->lines)
        out.push_back(std::string(l.colour.c_str()) + (l.selectable ? " [x] " : " ") + l.text.c_str());
    delete box;
    return out;
}

TEST(DialogManagerApi, ParameterTypesAndNames) {
    std::string name = dlgtest::CompileToFile("params", "npc Farmer string reward npc Hero state s { }");
    std::unique_ptr<ArraySequence<unsigned char>> types(getParameterTypes(name.c_str()));
    ASSERT_TRUE(types);
    ASSERT_EQ(types->Size(), 3);
    EXPECT_EQ((*types)[0], PARAMETER_NPC);
    EXPECT_EQ((*types)[1], PARAMETER_STRING);
    EXPECT_EQ((*types)[2], PARAMETER_NPC);
    std::unique_ptr<ArraySequence<String>> names(getParameterNames(name.c_str()));
    ASSERT_TRUE(names);
    ASSERT_EQ(names->Size(), 3);
    EXPECT_STREQ((*names)[0].c_str(), "Farmer");
    EXPECT_STREQ((*names)[1].c_str(), "reward");
    EXPECT_STREQ((*names)[2].c_str(), "Hero");

    ErrorCapture errors;
    std::string absent = dlgtest::TempPath("absent");
    EXPECT_EQ(getParameterTypes(absent.c_str()), nullptr);
    EXPECT_EQ(getParameterNames(absent.c_str()), nullptr);
    setDialogPath(1, nullptr);
    preloadDialog("x");
    const std::string open = "Error @ DIALOG::load(dialog) : Could not open file '" + absent + ".dlg'.";
    const std::string get = "Error @ getDialog(dialogName) : Failed to load the dialog '" + absent + "'.";
    EXPECT_EQ(
        errors.Lines(),
        (std::vector<std::string>{
            open, get, "Error @ getParameterTypes(dialogName) : Failed to load the dialog '" + absent + "'.",
            open, get, "Error @ getParameterNames(dialogName) : Failed to load the dialog '" + absent + "'.",
            "Error @ setDialogPath(pathCount, dialogPath) : Not yet implemented.",
            "Error @ preloadDialog(dialogName) : Not yet implemented."}));
}

TEST(DialogManagerCache, GrowsFrom29To87BucketsBeforeTheSixtiethDialog) {
    ClearDialogCache();
    std::vector<unsigned char> bytes = dlgtest::Compile("state s { }");
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i) names.push_back(dlgtest::WriteDialogFile("n" + std::to_string(i), bytes));
    for (int i = 0; i < 59; ++i) ASSERT_NE(getDialog(names[i].c_str()), nullptr);
    EXPECT_EQ(DialogCacheCount(), 59);
    EXPECT_EQ(DialogCacheBucketCount(), 29);
    DIALOG* first = getDialog(names[0].c_str());
    ASSERT_NE(getDialog(names[59].c_str()), nullptr);
    EXPECT_EQ(DialogCacheBucketCount(), 87);
    EXPECT_EQ(DialogCacheCount(), 60);
    // every entry is still found after the re-link, as the same object
    EXPECT_EQ(getDialog(names[0].c_str()), first);
    for (const std::string& n : names) EXPECT_NE(getDialog(n.c_str()), nullptr);
    EXPECT_EQ(DialogCacheCount(), 60);
    ClearDialogCache();
}

TEST(DialogManagerCache, FailedLoadsAreNotCachedAndAreRetried) {
    std::string name = dlgtest::TempPath("later");
    {
        ErrorCapture errors;
        EXPECT_EQ(getDialog(name.c_str()), nullptr);
    }
    dlgtest::WriteDialogFile("later", dlgtest::Compile("state s { }"));
    EXPECT_NE(getDialog(name.c_str()), nullptr);
}

TEST(DialogManagerBind, TwoCharactersShareOneDialogButNotTheirInstances) {
    std::string name =
        dlgtest::CompileToFile("shared", "npc A state s repeatable { cycle { player \"0\" player \"1\" } }");
    FILE* trace = std::tmpfile();
    SetDialogTraceStream(trace);
    DialogBinding one(name.c_str(), nullptr), two(name.c_str(), nullptr);
    ASSERT_TRUE(DialogManager::Bind(&one));
    ASSERT_TRUE(DialogManager::Bind(&two));
    SetDialogTraceStream(nullptr);
    EXPECT_EQ(one.instance->dialog, two.instance->dialog);
    EXPECT_NE(one.instance, two.instance);
    std::rewind(trace);
    int opened = 0;
    char buf[512];
    while (std::fgets(buf, sizeof buf, trace))
        opened += std::string(buf).rfind("Opening dialog file '", 0) == 0;
    std::fclose(trace);
    EXPECT_EQ(opened, 1);
    ASSERT_NE(one.instance->cycleCounters.data(), two.instance->cycleCounters.data());
}

TEST(DialogManagerBind, FailureIsLoggedThroughTheEngineLog) {
    std::string logPath = dlgtest::TempPath("engine.log");
    Settings* savedSettings = g_settings;
    Log* savedLog = g_log;
    Settings settings;
    settings.write_log = 1;
    g_settings = &settings;
    g_log = new Log(logPath.c_str());
    {
        ErrorCapture errors;
        DialogBinding binding(dlgtest::TempPath("absent").c_str(), nullptr);
        EXPECT_FALSE(DialogManager::Bind(&binding));
        EXPECT_EQ(binding.instance, nullptr);
    }
    delete g_log;
    g_log = savedLog;
    g_settings = savedSettings;
    std::ifstream in(logPath);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_NE(all.str().find("\nDialogManager::Error - Failed to get parameter types.\n"), std::string::npos)
        << all.str();
}

TEST(DialogManagerView, EveryActionKindBecomesItsTextBoxOrGameCall) {
    PresentationScope scope;
    RecordingCharacter gus;
    std::string name = dlgtest::CompileToFile("view", R"(
        npc Farmer
        npc Player
        string reward
        state s0 {
            setquest "met"
            player "Hello " $reward
            npc Farmer to Player "Twenty-five characters!!!"
            npc Farmer "Fifty characters, said to nobody in particular...."
            remark Player "coughs"
            if quest("met") { script "wave" additem 2 "apple" removeitem "pear" }
            query { option "Yes" { player "yes" } option "No" goto s1 }
            log "never shown"
            player "after log"
            suspend
        }
        state s1 { player "no" }
    )");
    DialogBinding binding(name.c_str(), &gus);
    ASSERT_TRUE(DialogManager::Bind(&binding));
    EXPECT_EQ(DialogManager::NextTextBox(), nullptr);  // nothing active
    DialogManager::SetActive(&binding);
    auto& calls = scope.presentation.calls;
    // Head and shoulders at a 90 degree view: 75 in front of the eyes (165
    // above the position), looking 15 down and 30 to the character's side.
    const std::string camera = "camera -65 170 20 -> 10 155 50";

    EXPECT_EQ(Lines(DialogManager::NextTextBox()),
              (std::vector<std::string>{"yellow You:", "white Hello PARAM_STRING"}));
    EXPECT_EQ(calls, (std::vector<std::string>{"setquest met", camera, "textbox 50 50"}));
    calls.clear();

    EXPECT_EQ(Lines(DialogManager::NextTextBox()),
              (std::vector<std::string>{"yellow Farmer to Player:", "white Twenty-five characters!!!"}));
    EXPECT_EQ(Lines(DialogManager::NextTextBox()),
              (std::vector<std::string>{"yellow Farmer:",
                                        "white Fifty characters, said to nobody in particular...."}));
    ASSERT_EQ(gus.talks.size(), 2u);
    EXPECT_FLOAT_EQ(gus.talks[0], 1.0f);
    EXPECT_FLOAT_EQ(gus.talks[1], 2.0f);
    EXPECT_EQ(Lines(DialogManager::NextTextBox()),
              (std::vector<std::string>{"yellow Remark - Player:", "white coughs"}));
    calls.clear();

    EXPECT_EQ(Lines(DialogManager::NextTextBox()),
              (std::vector<std::string>{"yellow [x] * Yes", "yellow [x] * No"}));
    EXPECT_EQ(calls, (std::vector<std::string>{"script wave", "additem apple", "removeitem pear", camera,
                                               "textbox 50 50"}));
    ASSERT_NE(DialogManager::CurrentAction(), nullptr);
    EXPECT_EQ(DialogManager::CurrentAction()->kind, ACTION_QUERY);

    ErrorCapture errors;
    DialogManager::Answer(7);  // out of range: the first option
    EXPECT_EQ(errors.Lines().size(), 1u);
    EXPECT_EQ(Lines(DialogManager::NextTextBox()), (std::vector<std::string>{"yellow You:", "white yes"}));
    DialogManager::Answer(1);                          // not a query: nothing happens
    EXPECT_EQ(DialogManager::NextTextBox(), nullptr);  // a log entry ends the view
    EXPECT_EQ(Lines(DialogManager::NextTextBox()),
              (std::vector<std::string>{"yellow You:", "white after log"}));
    EXPECT_EQ(DialogManager::NextTextBox(), nullptr);  // suspend
    EXPECT_EQ(DialogManager::CurrentAction()->kind, ACTION_SUSPEND);
}

TEST(DialogManagerView, EndlessGameActionsEndTheViewInsteadOfTheFrame) {
    PresentationScope scope;
    std::string name = dlgtest::CompileToFile("busy", "state s { while true { additem \"coin\" } }");
    DialogBinding binding(name.c_str(), nullptr);
    ASSERT_TRUE(DialogManager::Bind(&binding));
    DialogManager::SetActive(&binding);
    ErrorCapture errors;
    EXPECT_EQ(DialogManager::NextTextBox(), nullptr);
    EXPECT_EQ(errors.Lines(),
              std::vector<std::string>{"Error @ DialogManager::NextTextBox() : 1000 actions without "
                                       "a text box. Suspending."});
    EXPECT_EQ(scope.presentation.items.size(), 1000u);
}

TEST(DialogManagerView, InitialiseOpensDialogLogOnceAndInstallsTheGameProxy) {
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    std::string dir = dlgtest::TempPath("cwd");
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    EXPECT_FALSE(DialogManager::Initialised());
    DialogManager::Initialise();
    EXPECT_TRUE(DialogManager::Initialised());
    EXPECT_NE(dynamic_cast<GameEnvironmentProxy*>(GetEnvironmentProxy()), nullptr);
    preloadDialog("a");
    DialogManager::Initialise();  // idempotent: the log is not truncated again
    preloadDialog("b");
    EXPECT_EQ(DialogTraceStream(), nullptr);
    SetDialogErrorStream(nullptr);
    SetEnvironmentProxy(nullptr);
    ASSERT_EQ(chdir(saved), 0);
    std::ifstream in(dir + "/Dialog.log");
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(),
              "Error @ preloadDialog(dialogName) : Not yet implemented.\n"
              "Error @ preloadDialog(dialogName) : Not yet implemented.\n");
}

}  // namespace

namespace {

TEST(DialogManagerApi, GamePathsWithBackslashesAndOtherLetterCase) {
    std::string dir = dlgtest::TempPath("game");
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/Dialogs").c_str(), 0755), 0);
    std::vector<unsigned char> bytes = dlgtest::Compile("npc Tom state s { npc Tom \"Hi.\" }");
    FILE* f = std::fopen((dir + "/Dialogs/Tom.dlg").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    // the area names "dialogs\tom"; the files were made on a system that ignores case
    std::string name = dir + "/dialogs\\tom";
    DialogBinding binding(name.c_str(), nullptr);
    ASSERT_TRUE(DialogManager::Bind(&binding));
    std::unique_ptr<Action> a(binding.instance->nextAction());
    EXPECT_EQ(a->kind, ACTION_NPC);
}

}  // namespace
