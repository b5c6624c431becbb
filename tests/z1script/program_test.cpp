// Calls and returns, sleeping and waking, starting programs by name and by
// trigger, synchronized templates and the scheduler pass.
#include "imports/gameimports.h"
#include "scripttest.h"

TEST_F(ScriptTest, CallPutsArgumentsInLocalsAndReturnReplacesThem) {
    // Caller: 9 below, pushes 10 and 20, calls; the function checks its
    // locals and returns 7. The caller's stack is then one slot higher than
    // before the pushes, holding 7, and 9 is still below it.
    Load(
        "function f params=2 frame=3\n"
        "  pushl 1\n  const int 10\n  pushc 0\n  jne bad\n"
        "  pushl 2\n  const int 20\n  pushc 1\n  jne bad\n"
        "  const int 7\n  pushc 2\n  retv\n"
        "bad:\n  push0\n  retv\nend\n"
        "program main locals=0 trigger=init\n"
        "  const int 9\n  const int 10\n  const int 20\n"
        "  pushc 0\n  pushc 1\n  pushc 2\n  call \"f\"\n  wait\nend\n");
    Pass();
    ScriptInstance* in = scripts_->Running();
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->top, 2);
    EXPECT_EQ(in->stack[2].w[0], 7u);
    EXPECT_EQ(in->stack[1].w[0], 9u);
    EXPECT_TRUE(in->frames.empty());
    EXPECT_EQ(in->base, 0);
}

TEST_F(ScriptTest, AllReturnWithValueOpcodesAndReturnWithoutValue) {
    for (const char* ret : {"retv", "retv.17", "retv.6d"}) {
        Load(std::string("function f params=1 frame=1\n pushl 1\n push1\n add\n ") + ret +
             "\nend\n"
             "program main locals=0 trigger=init\n push4\n call \"f\"\nend\n");
        finished_.clear();
        Pass();
        ASSERT_EQ(finished_.size(), 1u) << ret;
        EXPECT_EQ(finished_[0].top, 5) << ret;
    }
    // ret drops the arguments: top goes back to below them.
    Load(
        "function g params=2 frame=4\n push5\n ret\nend\n"
        "program main locals=0 trigger=init\n push3\n push1\n push2\n call \"g\"\nend\n");
    finished_.clear();
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].top, 3);
}

TEST_F(ScriptTest, RecursionKeepsFramesStraight) {
    // fact(n) = n <= 1 ? 1 : n * fact(n - 1), with a frame of its own local.
    Load(
        "function fact params=1 frame=2\n"
        "  pushl 1\n  push1\n  jgt more\n  push1\n  retv\n"
        "more:\n  pushl 1\n  push1\n  sub\n  call \"fact\"\n  storel 2\n"
        "  pushl 1\n  pushl 2\n  mul\n  retv\nend\n"
        "program main locals=0 trigger=init\n  const int 10\n  pushc 0\n  call \"fact\"\nend\n");
    finished_.clear();
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].top, 3628800);
}

TEST_F(ScriptTest, MissingFunctionIsLoggedAndTheArgumentsStay) {
    EXPECT_EQ(RunMain("push1\npush2\ncall \"nowhere\"\nadd"), 3);
    EXPECT_TRUE(Logged("ERROR - function nowhere was not found in VM"));
}

TEST_F(ScriptTest, ReturnAtProgramLevelEndsTheInstance) {
    EXPECT_EQ(RunMain("push3\nret\npush4"), 3);
    EXPECT_TRUE(Logged("Return without any prog callstack"));
    EXPECT_EQ(RunMain("push3\nretv\npush4"), 3);
}

TEST_F(ScriptTest, RunningOffTheEndOfAFunctionEndsTheWholeInstance) {
    Load(
        "function f params=0 frame=0\n push2\nend\n"
        "program main locals=0 trigger=init\n call \"f\"\n push5\nend\n");
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].top, 2);
}

TEST_F(ScriptTest, SleepResumesOnTheFirstPassAtOrAfterTheWakeTime) {
    clock_.ms = 1000;
    Load("program main locals=0 trigger=init\n  const int 500\n  pushc 0\n  sleep\n  push5\nend\n");
    Pass();  // sleeps until 1500
    ScriptInstance* in = scripts_->Running();
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->wake_time, 1500u);
    clock_.ms = 1499;
    Pass();
    EXPECT_TRUE(finished_.empty());
    clock_.ms = 1500;
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].top, 5);
}

TEST_F(ScriptTest, SleepNeverTurnsIntoAWaitForAName) {
    clock_.ms = 0;
    Load("program main locals=0 trigger=init\n  push0\n  sleep\n  push5\nend\n");
    Pass();
    ASSERT_NE(scripts_->Running(), nullptr);
    EXPECT_NE(scripts_->Running()->wake_time, 0u);
    clock_.ms = 16;
    Pass();
    EXPECT_EQ(finished_.size(), 1u);
    // Across the 32-bit roll-over the wake time is still ahead.
    clock_.ms = 0xFFFFFF00u;
    Load("program main locals=0 trigger=init\n  const int 512\n  pushc 0\n  sleep\n  push5\nend\n");
    finished_.clear();
    Pass();
    clock_.ms = 0xFFFFFFF0u;
    Pass();
    EXPECT_TRUE(finished_.empty());
    clock_.ms = 0x100u;
    Pass();
    EXPECT_EQ(finished_.size(), 1u);
}

TEST_F(ScriptTest, WaitingProgramIsWokenByItsNameInsteadOfANewInstance) {
    Load("program lever* locals=1\n  addl 0 1\n  wait\n  addl 0 1\n  pushl 0\nend\n");
    scripts_->StartByName("lever1");
    Pass();
    ASSERT_EQ(scripts_->RunningCount(), 1);
    EXPECT_EQ(scripts_->Running()->wake_time, 0u);
    Pass(3);  // a wait with wake time 0 stays asleep
    EXPECT_TRUE(finished_.empty());
    int checks = CountLogged("checking if program name");
    scripts_->StartByName("lever2");  // another name starts a second instance
    EXPECT_EQ(scripts_->RunningCount(), 2);
    scripts_->StartByName("lever1");
    EXPECT_EQ(scripts_->RunningCount(), 2);
    EXPECT_EQ(CountLogged("checking if program name"), checks + 1);  // only for lever2
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    // Both instances share one data stack: local 0 was bumped three times.
    EXPECT_EQ(finished_[0].top, 3);
}

TEST_F(ScriptTest, InitProgramsAreNeverWokenByName) {
    Load("program boot locals=0 trigger=init\n  wait\nend\n");
    Pass();
    scripts_->StartByName("boot");  // starts a second instance instead
    EXPECT_EQ(scripts_->RunningCount(), 2);
    EXPECT_TRUE(scripts_->Running()->start_argument != 0);
    EXPECT_EQ(scripts_->Running()->next->start_argument, 0u);
    EXPECT_EQ(scripts_->Running()->next->waiting, 1);
}

TEST_F(ScriptTest, TwoStartsCreateTwoInstancesUnlessSynchronized) {
    clock_.ms = 100;
    std::string body = "  const int 1000\n  pushc 0\n  sleep\nend\n";
    Load("program door locals=0\n" + body);
    scripts_->StartByName("door");
    Pass();
    scripts_->StartByName("door");
    EXPECT_EQ(scripts_->RunningCount(), 2);
    EXPECT_EQ(scripts_->Templates()->running, 2);
    EXPECT_EQ(scripts_->Running()->stack, scripts_->Running()->next->stack);

    Load("program door locals=0 sync\n" + body);
    scripts_->StartByName("door");
    Pass();
    scripts_->StartByName("door");
    EXPECT_EQ(scripts_->RunningCount(), 1);
    EXPECT_TRUE(Logged("cannot start new program because template is locked"));
    clock_.ms = 1100;
    Pass();  // wakes and ends; the counter drops and the lock opens
    EXPECT_EQ(scripts_->Templates()->running, 0);
    scripts_->StartByName("door");
    EXPECT_EQ(scripts_->RunningCount(), 1);
}

TEST_F(ScriptTest, NameMatchingWithTheStarSuffix) {
    EXPECT_TRUE(ScriptNameMatches("guard", "guard*"));
    EXPECT_TRUE(ScriptNameMatches("guard2", "guard*"));
    EXPECT_FALSE(ScriptNameMatches("gua", "guard*"));
    EXPECT_TRUE(ScriptNameMatches("door", "door"));
    EXPECT_FALSE(ScriptNameMatches("door1", "door"));
    EXPECT_FALSE(ScriptNameMatches("Door", "door"));
    EXPECT_TRUE(ScriptNameMatches("anything", "*"));
    EXPECT_FALSE(ScriptNameMatches(nullptr, "*"));
    EXPECT_FALSE(ScriptNameMatches("x", nullptr));

    Load("program guard* locals=0\n push1\nend\nprogram gate locals=0\n push2\nend\n");
    scripts_->StartByName("guard2");
    EXPECT_EQ(scripts_->RunningCount(), 1);
    EXPECT_TRUE(Logged("checking if program name 'gate' is match for 'guard2'"));
    EXPECT_TRUE(Logged("checking if program name 'guard*' is match for 'guard2'"));
    EXPECT_EQ(CountLogged("match.."), 1);
    scripts_->StartByName("gua");
    EXPECT_EQ(scripts_->RunningCount(), 1);
    // The checking lines come from the template front (last loaded first).
    std::vector<std::string> lines = LogLines();
    auto gate =
        std::find(lines.begin(), lines.end(), "checking if program name 'gate' is match for 'guard2'");
    auto guard =
        std::find(lines.begin(), lines.end(), "checking if program name 'guard*' is match for 'guard2'");
    EXPECT_LT(gate, guard);
}

TEST_F(ScriptTest, FiredTriggersMatchTheTriggerPatternOfTheirType) {
    Load(
        "program onclick locals=0 trigger=click\n  const text \"door*\"\n  pusharg\n  wait\nend\n"
        "program oncollide locals=0 trigger=collision\n  const text \"door*\"\n  push2\nend\n"
        "program door1 locals=0 trigger=pickup\n  const int 5\n  push3\nend\n");
    int checks = CountLogged("checking");
    scripts_->FireClick("door7");
    EXPECT_EQ(scripts_->RunningCount(), 1);
    EXPECT_STREQ(scripts_->Running()->program->name.c_str(), "onclick");
    EXPECT_EQ(CountLogged("checking"), checks);  // no checking or match lines
    EXPECT_EQ(CountLogged("match.."), 0);
    Pass();
    // A collision with the entity does not wake the waiting click program;
    // it starts the collision program.
    scripts_->FireCollision("door7");
    EXPECT_EQ(scripts_->RunningCount(), 2);
    EXPECT_EQ(scripts_->Running()->next->waiting, 1);
    // A second click on the same entity wakes the waiting instance.
    scripts_->FireClick("door7");
    EXPECT_EQ(scripts_->RunningCount(), 2);
    EXPECT_EQ(scripts_->Running()->next->waiting, 0);
    // Pickup programs match their constant 0 only when it is a text: the name
    // "door1" of the template is not the pattern.
    scripts_->FirePickup("door1");
    EXPECT_EQ(scripts_->RunningCount(), 2);
    scripts_->FireClick("window");
    EXPECT_EQ(scripts_->RunningCount(), 2);
}

namespace {

// A game call that starts a program by name, as a conversation would.
class StartingGame : public NullImports {
public:
    ScriptSystem* scripts = nullptr;
    void GameCall(int, const char* text, int) override { scripts->StartByName(text); }
};

}  // namespace

TEST_F(ScriptTest, InstancesStartedDuringAPassWaitForTheNextOne) {
    StartingGame game;
    std::vector<ScriptRecord> records = Assemble(
        "program child locals=0\n  push5\nend\n"
        "program main locals=0 trigger=init\n  pushc \"child\"\n  push0\n  push0\n  game\n  push1\nend\n");
    NewSystem();
    game.scripts = scripts_;
    ScopedGameImports scope(&game);
    scripts_->Load(WriteRecords(records).c_str());
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].name, "main");
    EXPECT_EQ(scripts_->RunningCount(), 1);
    Pass();
    ASSERT_EQ(finished_.size(), 2u);
    EXPECT_EQ(finished_[1].name, "child");
    EXPECT_EQ(scripts_->RunningCount(), 0);
}

TEST_F(ScriptTest, TriggerNames) {
    EXPECT_STREQ(TriggerName(0), "trigger never");
    EXPECT_STREQ(TriggerName(1), "init");
    EXPECT_STREQ(TriggerName(2), "click");
    EXPECT_STREQ(TriggerName(3), "collision");
    EXPECT_STREQ(TriggerName(4), "pickup");
    EXPECT_STREQ(TriggerName(5), "unknown triggertype");
}

TEST_F(ScriptTest, ProcessWideEntryPointsAreSafeBeforeLoading) {
    ASSERT_EQ(g_scripts, nullptr);
    StartScriptByName("x");
    FireScriptClick("x");
    FireScriptCollision("x");
    FireScriptPickup("x");
    RunScriptScheduler();
    EXPECT_EQ(g_scripts, nullptr);
}

TEST_F(ScriptTest, ProcessWideRuntimeSendsItsEngineCallsToTheImports) {
    class CountingGame : public NullImports {
    public:
        int calls = 0;
        void GameCall(int, const char*, int) override { ++calls; }
    } game;
    ScopedGameImports scope(&game);
    std::string path = WriteRecords(
        Assemble("program p locals=0 trigger=init\n  pushnull\n  push0\n  push0\n  game\nend\n"));
    LoadScriptFile(String(path.c_str()));
    ASSERT_NE(g_scripts, nullptr);
    RunScriptScheduler();
    EXPECT_EQ(game.calls, 1);
    EXPECT_TRUE(Logged("killing program p"));
    delete g_scripts;
    g_scripts = nullptr;
}
