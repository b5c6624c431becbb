// Running dialogs: commands, conditions, options, the run-time messages and
// the guards that keep a broken dialog from hanging the game.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "dialog/dialogbench.h"
#include "dialog/dialogmanager.h"
#include "dialog_test_util.h"
#include "utility/random.h"

using dlgtest::ErrorCapture;

namespace {

// Quest log and inventory that also remember what was asked.
class RecordingProxy : public EnvironmentProxy {
public:
    std::set<std::string> quests, items;
    std::vector<std::string> asked;
    bool questFlagDefined(const String& flag) override {
        asked.push_back(std::string("quest ") + flag.c_str());
        return quests.count(flag.c_str()) > 0;
    }
    bool hasItem(short count, const String& name) override {
        asked.push_back("hasitem " + std::to_string(count) + " " + name.c_str());
        return items.count(name.c_str()) > 0;
    }
};

struct ProxyScope {
    explicit ProxyScope(EnvironmentProxy* p) { SetEnvironmentProxy(p); }
    ~ProxyScope() { SetEnvironmentProxy(nullptr); }
};

// A bound dialog stepped by hand.
class Conversation {
public:
    explicit Conversation(const std::string& source, const std::string& leaf = "d")
        : binding(dlgtest::CompileToFile(leaf, source).c_str(), nullptr) {
        bound = DialogManager::Bind(&binding);
        EXPECT_TRUE(bound);
    }
    std::string Step() {
        last.reset(binding.instance->nextAction());
        return last ? DescribeAction(last.get()) : "null";
    }
    void Select(int i) {
        ASSERT_TRUE(last && last->kind == ACTION_QUERY);
        static_cast<ActionQuery*>(last.get())->select(i);
    }
    DialogBinding binding;
    bool bound = false;
    std::unique_ptr<Action> last;
};

std::string Bench(const std::string& source, const DialogBenchOptions& options) {
    std::string name = dlgtest::CompileToFile("bench", source);
    FILE* out = std::tmpfile();
    SetDialogErrorStream(out);
    bool ok = RunDialogBench(name.c_str(), options, out);
    SetDialogErrorStream(nullptr);
    EXPECT_TRUE(ok);
    std::rewind(out);
    std::string text;
    char buf[512];
    while (std::fgets(buf, sizeof buf, out)) text += buf;
    std::fclose(out);
    return text;
}

TEST(DialogExec, PlayerSuspendThenGotoRunsTheNextState) {
    Conversation c(R"(
        npc A
        state s0 { player "first" suspend goto s1 }
        state s1 { player "second" }
    )");
    EXPECT_EQ(c.Step(), "player: first");
    EXPECT_EQ(c.Step(), "suspend");
    EXPECT_EQ(c.Step(), "player: second");
}

TEST(DialogExec, RunningOffTheEndSuspendsEveryLaterStep) {
    ErrorCapture errors;
    Conversation c(R"(state s0 { player "only" })");
    EXPECT_EQ(c.Step(), "player: only");
    EXPECT_EQ(c.Step(), "suspend");
    EXPECT_EQ(c.Step(), "suspend");
    const std::string line =
        "Error @ DialogInstanceImplementation::nextAction() : Unexpected end of command-list. "
        "Suspending.";
    EXPECT_EQ(errors.Lines(), (std::vector<std::string>{line, line}));

    ErrorCapture errors2;
    Conversation skip(R"(state s0 { skip })", "skip");
    EXPECT_EQ(skip.Step(), "suspend");
    EXPECT_EQ(errors2.Lines(),
              std::vector<std::string>{"Error @ COMMAND::executeNext(parameterValue, PC) : Unexpected "
                                       "end of command-list. Suspending."});

    ErrorCapture errors3;
    Conversation empty(R"(state s0 { goto s1 } state s1 { })", "empty");
    EXPECT_EQ(empty.Step(), "suspend");
    EXPECT_EQ(errors3.Lines(),
              std::vector<std::string>{"Error @ executeCommands(execEnv, PC, commands) : Unexpected "
                                       "end of command-list. Suspending."});
}

TEST(DialogExec, CyclesAdvancePerInstance) {
    const std::string source = R"(
        npc A
        state s0 { cycle { player "0" player "1" player "2" } goto s0 }
    )";
    Conversation one(source, "cycle");
    Conversation two(source, "cycle");  // same file, its own counters
    EXPECT_EQ(one.binding.instance->dialog, two.binding.instance->dialog);
    EXPECT_EQ(one.Step(), "player: 0");
    EXPECT_EQ(one.Step(), "player: 1");
    EXPECT_EQ(two.Step(), "player: 0");
    EXPECT_EQ(one.Step(), "player: 2");
    EXPECT_EQ(one.Step(), "player: 0");
    EXPECT_EQ(one.Step(), "player: 1");
    EXPECT_EQ(two.Step(), "player: 1");
}

TEST(DialogExec, RandomPicksEveryAlternativeAndNothingElse) {
    Z1SeedRandom(7);
    Conversation c(R"(state s0 { random { player "a" player "b" player "c" } goto s0 })");
    std::set<std::string> seen;
    for (int i = 0; i < 60; ++i) seen.insert(c.Step());
    EXPECT_EQ(seen, (std::set<std::string>{"player: a", "player: b", "player: c"}));
}

TEST(DialogExec, NpcLinesRemarksAndParameterParts) {
    ErrorCapture errors;
    FILE* trace = std::tmpfile();
    SetDialogTraceStream(trace);
    Conversation c(R"(
        npc Farmer
        npc Player
        string gift
        state s0 {
            npc Farmer to Player "Take the " $gift "."
            npc Farmer "Talking to myself."
            remark Player "Nods."
            player "I am " $Player "."
            log "noted"
            setquest "met_farmer"
            script "wave"
            additem 3 "apple"
            removeitem "apple"
        }
    )");
    EXPECT_EQ(c.Step(), "npc Farmer to Player: Take the PARAM_STRING.");
    EXPECT_EQ(c.Step(), "npc Farmer: Talking to myself.");
    EXPECT_EQ(c.Step(), "remark Player: Nods.");
    EXPECT_EQ(c.Step(), "player: I am .");  // an npc parameter adds nothing to text
    EXPECT_EQ(c.Step(), "log: noted");
    EXPECT_EQ(c.Step(), "setquest met_farmer");
    EXPECT_EQ(c.Step(), "executescript wave");
    EXPECT_EQ(c.Step(), "additem 3 apple");
    EXPECT_EQ(c.Step(), "removeitem 1 apple");
    SetDialogTraceStream(nullptr);
    std::rewind(trace);
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof buf, trace)) text += buf;
    std::fclose(trace);
    EXPECT_NE(
        text.find("Warning @ STRINGparameter::instantiate(parameterValue) : Invalid parameter type 1.\n"),
        std::string::npos);
    EXPECT_TRUE(errors.Lines().empty());  // the warning is trace only
}

TEST(DialogExec, NpcAndRemarkFromStringParametersAreSkipped) {
    ErrorCapture errors;
    Conversation c(R"(
        npc A
        string S
        state s0 {
            npc S to A "never"
            npc A to S "never"
            remark S "never"
            player "after"
        }
    )");
    EXPECT_EQ(c.Step(), "player: after");
    EXPECT_EQ(errors.Lines(),
              (std::vector<std::string>{
                  "Error @ COMMANDnpc::execute(execEnv, PC) : From-parameter is not an NPC.",
                  "Error @ COMMANDnpc::execute(execEnv, PC) : To-parameter is not an NPC.",
                  "Error @ COMMANDremark::execute(execEnv, PC) : From-parameter is not an NPC."}));
}

TEST(DialogExec, QueryOffersEnabledOptionsAndSelectMovesOn) {
    Conversation c(R"(
        npc A
        state hub repeatable {
            query {
                option "Tell me once" goto tale
                option "Again" goto again
                option "Bye" { player "bye" suspend }
            }
            player "after the query"
        }
        state tale { player "a tale" goto hub }
        state again repeatable { player "again" goto hub }
    )");
    EXPECT_EQ(c.Step(), "query: Tell me once | Again | Bye");
    c.Select(0);
    EXPECT_EQ(c.Step(), "player: a tale");
    EXPECT_EQ(c.Step(), "query: Again | Bye");  // the once-only state was heard
    c.Select(1);
    EXPECT_EQ(c.Step(), "player: bye");
    EXPECT_EQ(c.Step(), "suspend");
    EXPECT_EQ(c.Step(), "player: after the query");  // a commands option continues after its query
}

TEST(DialogExec, UnansweredQueryIsAskedAgain) {
    RecordingProxy proxy;
    proxy.quests = {"open"};
    ProxyScope scope(&proxy);
    Conversation c(R"(state s0 { query { option "a" goto s1 } } state s1 repeatable when quest("open") { })");
    EXPECT_EQ(c.Step(), "query: a");
    // not answered: the next step asks again and re-evaluates availability
    EXPECT_EQ(c.Step(), "query: a");
    EXPECT_EQ(proxy.asked.size(), 2u);
}

TEST(DialogExec, SelectionOutOfRangeTakesTheFirstOption) {
    ErrorCapture errors;
    Conversation c(R"(
        state s0 { query { option "one" goto a option "two" goto b option "three" goto b } }
        state a { player "first" }
        state b { player "other" }
    )");
    EXPECT_EQ(c.Step(), "query: one | two | three");
    c.Select(5);
    EXPECT_EQ(errors.Lines(),
              std::vector<std::string>{"Error @ ActionQueryImplementation::select(selection) : "
                                       "Selected option out of range (selected=5, max=3)."});
    EXPECT_EQ(c.Step(), "player: first");
}

TEST(DialogExec, QueryWithNothingToOfferSuspendsAndStaysOnTheQuery) {
    Conversation c(R"(
        state s0 { goto a }
        state a { query { option "x" goto b option "y" goto b } }
        state b { player "b" goto a }
    )");
    {
        ErrorCapture errors;
        EXPECT_EQ(c.Step(), "query: x | y");
        c.Select(1);
        EXPECT_EQ(c.Step(), "player: b");
        EXPECT_TRUE(errors.Lines().empty());
    }
    for (int round = 0; round < 2; ++round) {
        ErrorCapture errors;
        EXPECT_EQ(c.Step(), "suspend");
        std::vector<std::string> lines = errors.Lines();
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(
            lines[0].rfind("Error @ ActionQueryImplementation::ActionQueryImplementation(numberOfOptions, "
                           "option, execEnv, PC) : Invalid parameters (numberOfOptions=0, option=",
                           0),
            0u)
            << lines[0];
        // pointers in stream notation: the missing option array is "0", the others hexadecimal
        EXPECT_NE(lines[0].find("(numberOfOptions=0, option=0, execEnv=0x"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(", PC=0x"), std::string::npos) << lines[0];
        EXPECT_EQ(lines[0].back(), '.') << lines[0];
        EXPECT_EQ(lines[1],
                  "Error @ COMMANDquery::execute(execEnv, PC) : Failed ActionQueryImplementation "
                  "construction.");
        EXPECT_EQ(lines[2],
                  "Error @ DialogInstanceImplementation::nextAction() : Failed command execution. "
                  "Suspending.");
    }
}

TEST(DialogExec, ConditionsAskTheProxyForBothSides) {
    RecordingProxy proxy;
    ProxyScope scope(&proxy);
    Conversation c(R"(
        state s0 {
            if quest("a") and quest("b") { player "both" } else { player "not both" }
            if hasitem(5, "key") or quest("b") { player "key or b" }
            player "end"
        }
    )");
    proxy.quests = {"b"};
    proxy.items = {"key"};
    EXPECT_EQ(c.Step(), "player: not both");
    EXPECT_EQ(c.Step(), "player: key or b");
    EXPECT_EQ(proxy.asked, (std::vector<std::string>{"quest a", "quest b", "hasitem 5 key", "quest b"}));
    EXPECT_EQ(c.Step(), "player: end");
}

TEST(DialogExec, DefaultProxyAnswersFalseWithALine) {
    ErrorCapture errors;
    SetEnvironmentProxy(nullptr);
    Conversation c(R"(state s0 { if quest("q") or hasitem("i") { player "yes" } else { player "no" } })");
    EXPECT_EQ(c.Step(), "player: no");
    EXPECT_EQ(errors.Lines(),
              (std::vector<std::string>{
                  "Error @ DefaultEnvironmentProxy::questFlagDefined(questFlag) : No environment "
                  "proxy has been specified.",
                  "Error @ DefaultEnvironmentProxy::hasItem(itemCount, itemName) : No environment "
                  "proxy has been specified."}));
}

TEST(DialogExec, StateConditionsOnceOnlyAndHeard) {
    Conversation c(R"(
        state s0 repeatable {
            if enabled(once) { player "once enabled" } else { player "once disabled" }
            if heard(once) { player "heard" }
            if disabled(rep) { player "rep disabled" }
            goto once
        }
        state once { player "in once" goto s0 }
        state rep repeatable when heard(once) { }
    )");
    EXPECT_EQ(c.Step(), "player: once enabled");
    EXPECT_EQ(c.Step(), "player: rep disabled");
    EXPECT_EQ(c.Step(), "player: in once");
    EXPECT_EQ(c.Step(), "player: once disabled");
    EXPECT_EQ(c.Step(), "player: heard");
    // a goto enters a once-only state that was heard already
    EXPECT_EQ(c.Step(), "player: in once");
}

TEST(DialogExec, EmptyIfElsePartsContinueAfterTheIfElse) {
    Conversation c(R"(state s0 { if true { } player "a" if false { } player "b" })");
    EXPECT_EQ(c.Step(), "player: a");
    EXPECT_EQ(c.Step(), "player: b");
}

TEST(DialogExec, WhileLoopsUntilItsConditionFails) {
    DialogBenchOptions options;
    options.steps = 4;
    EXPECT_EQ(Bench(R"(
        state s0 {
            while not quest("done") { group { player "loop" setquest "done" } }
            player "after"
            suspend
        }
    )",
                    options),
              "player: loop\nsetquest done\nplayer: after\nsuspend\n-- view ends\n");
}

TEST(DialogExec, InvalidInstancesReportAndReturnNull) {
    std::string name = dlgtest::CompileToFile("mismatch", "npc A string S state s0 { player \"x\" }");
    ErrorCapture errors;
    String a("A");
    ParameterValue npc{PARAMETER_NPC, &a, nullptr}, wrong{PARAMETER_NPC, nullptr, nullptr};
    ParameterValue* values[] = {&npc, &wrong};
    DialogInstanceImplementation bad(name.c_str(), values);
    EXPECT_FALSE(bad.valid);
    EXPECT_EQ(bad.nextAction(), nullptr);
    EXPECT_EQ(errors.Lines(),
              (std::vector<std::string>{
                  "Error @ DialogInstanceImplementation::DialogInstanceImplementation(dialogName, "
                  "parameters) : Parameter mismatch. #1: 1 != 2.",
                  "Error @ DialogInstanceImplementation::nextAction() : Invalid object."}));

    ErrorCapture errors2;
    std::string absent = dlgtest::TempPath("absent");
    DialogInstanceImplementation missing(absent.c_str(), nullptr);
    EXPECT_FALSE(missing.valid);
    EXPECT_EQ(errors2.Lines(),
              (std::vector<std::string>{
                  "Error @ DIALOG::load(dialog) : Could not open file '" + absent + ".dlg'.",
                  "Error @ getDialog(dialogName) : Failed to load the dialog '" + absent + "'.",
                  "Error @ DialogInstanceImplementation::DialogInstanceImplementation(dialogName, "
                  "parameters) : Failed to load the dialog '" +
                      absent + "'."}));
}

TEST(DialogExec, NpcValueWithoutANameTakesTheParameterName) {
    std::string name = dlgtest::CompileToFile("noname", "npc Gus npc Ann state s0 { npc Gus to Ann \"hi\" }");
    ParameterValue gus{PARAMETER_NPC, nullptr, nullptr};
    String ann("Annabel");
    ParameterValue annValue{PARAMETER_NPC, &ann, nullptr};
    ParameterValue* values[] = {&gus, &annValue};
    DialogInstanceImplementation instance(name.c_str(), values);
    ASSERT_TRUE(instance.valid);
    std::unique_ptr<Action> a(instance.nextAction());
    EXPECT_EQ(DescribeAction(a.get()), "npc Gus to Annabel: hi");
    delete gus.name;
}

TEST(DialogExec, ADialogWithoutStatesSuspends) {
    ErrorCapture errors;
    dlgtest::Bytes empty = dlgtest::Bytes().header().i16(0).i16(0).i16(0);
    std::string name = dlgtest::WriteDialogFile("nostates", empty.b);
    DialogInstanceImplementation instance(name.c_str(), nullptr);
    ASSERT_TRUE(instance.valid);
    std::unique_ptr<Action> a(instance.nextAction());
    EXPECT_EQ(a->kind, ACTION_SUSPEND);
}

TEST(DialogGuards, EndlessLoopWithoutActionsEndsTheStep) {
    ErrorCapture errors;
    Conversation c(R"(state s0 { while true { skip } })");
    EXPECT_EQ(c.Step(), "suspend");
    EXPECT_EQ(c.Step(), "suspend");
    const std::string line =
        "Error @ DialogInstanceImplementation::nextAction() : 10000 commands ran without an "
        "action. Suspending.";
    EXPECT_EQ(errors.Lines(), (std::vector<std::string>{line, line}));

    ErrorCapture errors2;
    Conversation ping(R"(state a { goto b } state b { goto a })", "pingpong");
    EXPECT_EQ(ping.Step(), "suspend");
    EXPECT_EQ(errors2.Lines(), std::vector<std::string>{line});
}

TEST(DialogGuards, ConditionsThatReachTheirOwnStateEndTheStep) {
    ErrorCapture errors;
    Conversation c(R"(
        state s0 repeatable {
            query { option "loop" goto a option "fine" goto c }
        }
        state a when enabled(b) { }
        state b when not disabled(a) { }
        state c repeatable { player "fine" }
    )");
    EXPECT_EQ(c.Step(), "suspend");
    EXPECT_EQ(errors.Lines(),
              std::vector<std::string>{"Error @ stateEnabled(execEnv, stateIndex) : The condition of "
                                       "state 1 depends on its own enablement. Suspending."});
    ErrorCapture errors2;
    EXPECT_EQ(c.Step(), "suspend");  // the same again, never a hang
    EXPECT_EQ(errors2.Lines().size(), 1u);

    ErrorCapture errors3;
    Conversation self(R"(state s0 repeatable when enabled(s0) { if enabled(s0) { player "x" } player "y" })",
                      "self");
    EXPECT_EQ(self.Step(), "suspend");
    EXPECT_EQ(errors3.Lines(),
              std::vector<std::string>{"Error @ stateEnabled(execEnv, stateIndex) : The condition of "
                                       "state 0 depends on its own enablement. Suspending."});
}

TEST(DialogBench, SeededQuestsItemsChoicesAndSteps) {
    const std::string source = R"(
        npc Guard
        npc Hero
        state gate repeatable {
            query {
                option "Let me in." goto inside
                option "I have the pass." goto pass
            }
        }
        state inside repeatable when quest("friend") { npc Guard to Hero "Go ahead, friend." suspend goto gate }
        state pass repeatable when hasitem("pass") {
            removeitem "pass"
            npc Guard "Very well."
            additem 2 "stamp"
            setquest "friend"
            goto gate
        }
    )";
    DialogBenchOptions options;
    options.items = {"pass"};
    options.choices = {1, 0};
    EXPECT_EQ(
        Bench(source, options),
        "query: I have the pass.\n> 1\n"
        "Error @ ActionQueryImplementation::select(selection) : Selected option out of range (selected=1, "
        "max=1).\n"
        "removeitem 1 pass\nnpc Guard: Very well.\nadditem 2 stamp\nsetquest friend\n"
        "query: Let me in.\n> 0\nnpc Guard to Hero: Go ahead, friend.\nsuspend\n-- view ends\nquery: Let me "
        "in.\n");

    DialogBenchOptions seeded;
    seeded.quests = {"friend"};
    seeded.steps = 3;
    seeded.choices = {0, 0, 0};
    EXPECT_EQ(Bench(source, seeded),
              "query: Let me in.\n> 0\nnpc Guard to Hero: Go ahead, friend.\nsuspend\n-- view ends\n");
}

TEST(DialogBench, ALogEntryEndsTheViewAsInTheGame) {
    DialogBenchOptions options;
    options.choices = {0, 0};
    EXPECT_EQ(
        Bench(R"(state s0 repeatable { query { option "Tale" { player "once" log "heard" } } goto s0 })",
              options),
        "query: Tale\n> 0\nplayer: once\nlog: heard\n-- view ends\n"
        "query: Tale\n> 0\nplayer: once\nlog: heard\n-- view ends\nquery: Tale\n");
}

}  // namespace
