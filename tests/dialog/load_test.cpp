// Loading dialog files: every failure line with its function and joint, the
// chains that nested failures write, the reference guards, and the shape of
// what a good file becomes in memory.
#include <gtest/gtest.h>

#include "dialog_test_util.h"

using dlgtest::Bytes;
using dlgtest::ErrorCapture;
using dlgtest::OneState;
using dlgtest::Text;

namespace {

const std::string RS0 = "Error @ readShort(f): fread failed (0).";
const std::string LEN = "Error @ readString(f): Invalid length: -1.";
const std::string C1 =
    "Error @ COMMAND::loadList(dialogFile, listHead, append) : Failed loading command specifics.";
const std::string S1 = "Error @ STATE::load(dialogFile) : Failed loading command list.";
const std::string D0 = "Error @ DIALOG::load(dialog) : Failed loading state 0.";
const std::string CT = "Error @ CONDITION::loadTree(dialogFile) : Failed reading conditionType.";
const std::string CS = "Error @ CONDITION::loadTree(dialogFile) : Failed loading condition specifics.";
const std::string SC = "Error @ STATE::load(dialogFile) : Failed reading condition tree.";
const std::string LT =
    "Error @ COMMAND::loadList(dialogFile, listHead, append) : Failed reading commandType.";
const std::string ST = "Error @ STRING::loadList(dialogFile, listHead): Failed reading stringType.";

std::string D(const std::string& m) { return "Error @ DIALOG::load(dialog) : " + m; }

struct Case {
    std::string name;
    Bytes bytes;
    std::vector<std::string> lines;
};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A failure inside the first command of state 0.
std::vector<std::string> InCommand(const std::vector<std::string>& own) { return Join(own, {C1, S1, D0}); }
// A failure inside the condition of state 0.
std::vector<std::string> InCondition(const std::vector<std::string>& own) { return Join(own, {CS, SC, D0}); }

Bytes Cmd(const Bytes& commandBytes) { return OneState(commandBytes, false); }
Bytes Cond(const Bytes& conditionBytes) {
    return Bytes().header().i16(0).i16(1).i16(0).i16(0).str("s").add(conditionBytes);
}

std::vector<Case> FileCases() {
    Bytes h = Bytes().header();
    return {
        {"empty file", Bytes(), {D("fread failed when loading hallmark.")}},
        {"short hallmark", Bytes().raw("DL"), {D("fread failed when loading hallmark.")}},
        {"wrong hallmark", Bytes().raw("DLX").i16(0).i16(6), {D("Hallmark not recognized.")}},
        {"no versionHigh", Bytes().raw("DLG"), {RS0, D("Failed reading versionHigh.")}},
        {"half versionHigh",
         Bytes().raw("DLG\x01"),
         {"Error @ readShort(f): fread failed (0).", D("Failed reading versionHigh.")}},
        {"no versionLow", Bytes().raw("DLG").i16(0), {RS0, D("Failed reading versionLow.")}},
        {"version 1.6",
         Bytes().raw("DLG").i16(1).i16(6),
         {D("Invalid dialog file version. File version: 1.6. Expected version: 0.6.")}},
        {"version 0.5",
         Bytes().raw("DLG").i16(0).i16(5),
         {D("Invalid dialog file version. File version: 0.5. Expected version: 0.6.")}},
        {"no parameterCount", h, {RS0, D("Failed reading parameterCount.")}},
        {"no parameterType", Bytes(h).i16(1), {RS0, D("Failed reading parameterType.")}},
        {"parameter type 2", Bytes(h).i16(1).i16(2), {D("Invalid parameter type 2.")}},
        {"parameter type -1", Bytes(h).i16(1).i16(-1), {D("Invalid parameter type -1.")}},
        {"no parameter name",
         Bytes(h).i16(1).i16(0),
         {RS0, LEN, "Error @ PARAMETER::load(dialogFile) : Failed to read parameter name."}},
        {"no stateCount", Bytes(h).i16(0), {RS0, D("Failed reading stateCount.")}},
        {"negative parameterCount", Bytes(h).i16(-2), {D("Invalid parameterCount: -2.")}},
        {"negative stateCount", Bytes(h).i16(0).i16(-254), {D("Invalid stateCount: -254.")}},
        {"no token",
         Bytes(h).i16(0).i16(1),
         {RS0, "Error @ STATE::load(dialogFile) : Failed reading token.", D0}},
        {"token 1",
         Bytes(h).i16(0).i16(1).i16(1),
         {"Error @ STATE::load(dialogFile) : Expecting state token.", D0}},
        {"no modifiers",
         Bytes(h).i16(0).i16(1).i16(0),
         {RS0, "Error @ STATE::load(dialogFile) : Failed reading modifiers.", D0}},
        {"modifiers 2",
         Bytes(h).i16(0).i16(1).i16(0).i16(2),
         {"Error @ STATE::load(dialogFile) : Invalid modifiers: 2.", D0}},
        {"no state name",
         Bytes(h).i16(0).i16(1).i16(0).i16(1),
         {RS0, LEN, "Error @ STATE::load(dialogFile) : Failed to read state name.", D0}},
        {"no condition", Cond(Bytes()), {RS0, CT, SC, D0}},
        {"no command list", Cond(Bytes().i16(0)), {RS0, LT, S1, D0}},
        {"no numberOfCycles", Bytes(h).i16(0).i16(0), {RS0, D("Failed reading numberOfCycles.")}},
        {"second state fails",
         Bytes(h).i16(0).i16(2).i16(0).i16(0).str("a").i16(0).i16(-1).i16(0).i16(3),
         {"Error @ STATE::load(dialogFile) : Invalid modifiers: 3.", D("Failed loading state 1.")}},
    };
}

std::vector<Case> ConditionCases() {
    return {
        {"condition type 10",
         Cond(Bytes().i16(10)),
         {"Error @ CONDITION::loadTree(dialogFile) : Invalid condition type 10.", SC, D0}},
        {"condition type -3",
         Cond(Bytes().i16(-3)),
         {"Error @ CONDITION::loadTree(dialogFile) : Invalid condition type -3.", SC, D0}},
        {"and left", Cond(Bytes().i16(2)),
         InCondition(
             {RS0, CT, "Error @ CONDITIONand::load(dialogFile) : Failed reading left condition tree."})},
        {"and right", Cond(Bytes().i16(2).i16(0)),
         InCondition(
             {RS0, CT, "Error @ CONDITIONand::load(dialogFile) : Failed reading right condition tree."})},
        {"or left", Cond(Bytes().i16(3)),
         InCondition(
             {RS0, CT, "Error @ CONDITIONor::load(dialogFile) : Failed reading left condition tree."})},
        {"or right", Cond(Bytes().i16(3).i16(1)),
         InCondition(
             {RS0, CT, "Error @ CONDITIONor::load(dialogFile) : Failed reading right condition tree."})},
        {"not", Cond(Bytes().i16(4)),
         InCondition({RS0, CT, "Error @ CONDITIONnot::load(dialogFile) : Failed reading condition tree."})},
        {"enabled", Cond(Bytes().i16(5)),
         InCondition({RS0, "Error @ CONDITIONenabled::load(dialogFile) : Failed reading stateIndex."})},
        {"disabled", Cond(Bytes().i16(6)),
         InCondition(
             {RS0, "Error @ CONDITIONdisabled::load(FILE *dialogFile) : Failed reading stateIndex."})},
        {"heardabout", Cond(Bytes().i16(7)),
         InCondition(
             {RS0, "Error @ CONDITIONheardabout::load(FILE *dialogFile) : Failed reading stateIndex."})},
        {"quest", Cond(Bytes().i16(8)),
         InCondition({RS0, LEN,
                      "Error @ CONDITIONquest::load(FILE *dialogFile) : Failed to read quest flag string."})},
        {"hasitem count", Cond(Bytes().i16(9)),
         InCondition({RS0, "Error @ CONDITIONhasitem::load(FILE *dialogFile) : Failed reading item count."})},
        {"hasitem name", Cond(Bytes().i16(9).i16(2)),
         InCondition(
             {RS0, LEN, "Error @ CONDITIONhasitem::load(FILE *dialogFile) : Failed to read item name."})},
        // and(true, not(<code 12>)): each enclosing tree adds its own lines
        {"nested condition", Cond(Bytes().i16(2).i16(0).i16(4).i16(12)),
         InCondition({"Error @ CONDITION::loadTree(dialogFile) : Invalid condition type 12.",
                      "Error @ CONDITIONnot::load(dialogFile) : Failed reading condition tree.", CS,
                      "Error @ CONDITIONand::load(dialogFile) : Failed reading right condition tree."})},
    };
}

std::vector<Case> CommandCases() {
    const std::string PL = "Error @ COMMANDplayer::load(dialogFile): Failed loading string list.";
    const std::string SP =
        "Error @ STRING::loadList(dialogFile, listHead): Failed doing string-specific loading.";
    auto invalid = [](int t) {
        return std::vector<std::string>{
            "Error @ COMMAND::loadList(dialogFile, listHead, append) : Invalid command type " +
                std::to_string(t) + ".",
            S1, D0};
    };
    return {
        {"command 15", Cmd(Bytes().i16(15)), invalid(15)},
        {"command 18", Cmd(Bytes().i16(18)), invalid(18)},
        {"command -2", Cmd(Bytes().i16(-2)), invalid(-2)},
        {"no next commandType", Cmd(Bytes().i16(0)), {RS0, LT, S1, D0}},
        {"player first stringType", Cmd(Bytes().i16(1)), InCommand({RS0, ST, PL})},
        {"player later stringType", Cmd(Bytes().i16(1).i16(1).str("hi")), InCommand({RS0, ST, PL})},
        {"string type 2", Cmd(Bytes().i16(1).i16(2)),
         InCommand({"Error @ COMMANDnpc::load(dialogFile): Invalid string type 2.", PL})},
        {"constant part", Cmd(Bytes().i16(1).i16(1)),
         InCommand({RS0, LEN, "Error @ STRINGconst::load(dialogFile): Failed to read string.", SP, PL})},
        {"parameter part", Cmd(Bytes().i16(1).i16(0)),
         InCommand(
             {RS0, "Error @ STRINGparameter::load(dialogFile): Failed to read parameterIndex.", SP, PL})},
        {"truncated inside a string", Cmd(Bytes().i16(1).i16(1).i16(5).raw("abc")),
         InCommand({"Error @ readString(f): fread failed (3).",
                    "Error @ STRINGconst::load(dialogFile): Failed to read string.", SP, PL})},
        {"negative string length", Cmd(Bytes().i16(1).i16(1).i16(-2).raw("ab")),
         InCommand({"Error @ readString(f): Invalid length: -2.",
                    "Error @ STRINGconst::load(dialogFile): Failed to read string.", SP, PL})},
        {"npc from", Cmd(Bytes().i16(2)),
         InCommand({RS0, "Error @ COMMANDnpc::load(dialogFile) : Failed reading fromNPCIndex."})},
        {"npc to", Cmd(Bytes().i16(2).i16(0)),
         InCommand({RS0, "Error @ COMMANDnpc::load(dialogFile) : Failed reading toNPCIndex."})},
        {"npc strings", Cmd(Bytes().i16(2).i16(0).i16(0)),
         InCommand({RS0, ST, "Error @ COMMANDnpc::load(dialogFile) : Failed loading string list."})},
        {"remark from", Cmd(Bytes().i16(3)),
         InCommand({RS0, "Error @ COMMANDremark::load(dialogFile) : Failed reading fromNPCIndex."})},
        {"remark strings", Cmd(Bytes().i16(3).i16(0)),
         InCommand({RS0, ST, "Error @ COMMANDremark::load(dialogFile) : Failed loading string list."})},
        {"remark string type 9", Cmd(Bytes().i16(3).i16(0).i16(9)),
         InCommand({"Error @ COMMANDnpc::load(dialogFile): Invalid string type 9.",
                    "Error @ COMMANDremark::load(dialogFile) : Failed loading string list."})},
        {"log strings", Cmd(Bytes().i16(4)),
         InCommand({RS0, ST, "Error @ COMMANDlog::load(dialogFile) : Failed loading string list."})},
        {"goto", Cmd(Bytes().i16(6)),
         InCommand({RS0, "Error @ COMMANDgoto::load(dialogFile) : Failed reading stateIndex."})},
        {"query count", Cmd(Bytes().i16(7)),
         InCommand({RS0, "Error @ COMMANDquery::load(dialogFile) : Failed reading numberOfOptions."})},
        {"negative numberOfOptions", Cmd(Bytes().i16(7).i16(-1)),
         InCommand({"Error @ COMMANDquery::load(dialogFile) : Invalid numberOfOptions: -1."})},
        {"query optionType", Cmd(Bytes().i16(7).i16(1)),
         InCommand({RS0, "Error @ COMMANDquery::load(dialogFile) : Failed reading optionType."})},
        {"option type 2", Cmd(Bytes().i16(7).i16(1).i16(2)),
         InCommand({"Error @ COMMANDquery::load(dialogFile) : Invalid option type 2."})},
        {"goto option strings", Cmd(Bytes().i16(7).i16(1).i16(0)),
         InCommand({RS0, ST, "Error @ OPTIONgoto::load(dialogFile) : Failed loading string list."})},
        {"goto option state", Cmd(Bytes().i16(7).i16(1).i16(0).i16(-1)),
         InCommand({RS0, "Error @ OPTIONgoto::load(dialogFile) : Failed to read stateIndex."})},
        {"commands option strings", Cmd(Bytes().i16(7).i16(1).i16(1)),
         InCommand({RS0, ST, "Error @ OPTIONcommands::load(dialogFile) : Failed loading string list."})},
        {"commands option list", Cmd(Bytes().i16(7).i16(1).i16(1).i16(-1)),
         InCommand({RS0, LT, "Error @ OPTIONcommands::load(dialogFile) : Failed loading command list."})},
        {"cycle count", Cmd(Bytes().i16(8)),
         InCommand({RS0, "Error @ COMMANDcycle::load(dialogFile) : Failed reading numberOfCommands."})},
        {"cycle index", Cmd(Bytes().i16(8).i16(1)),
         InCommand({RS0, "Error @ COMMANDcycle::load(dialogFile) : Failed reading cycleIndex."})},
        {"cycle list", Cmd(Bytes().i16(8).i16(1).i16(0)),
         InCommand({RS0, LT, "Error @ COMMANDcycle::load(dialogFile) : Failed loading command list."})},
        {"cycle too short", Cmd(Bytes().i16(8).i16(3).i16(0).i16(0).i16(5).i16(-1)),
         InCommand(
             {"Error @ COMMANDcycle::load(dialogFile) : Command list too short (i=2, numberOfCommands=3)."})},
        {"random count", Cmd(Bytes().i16(9)),
         InCommand({RS0, "Error @ COMMANDrandom::load(dialogFile) : Failed reading numberOfCommands."})},
        {"random list", Cmd(Bytes().i16(9).i16(2)),
         InCommand({RS0, LT, "Error @ COMMANDrandom::load(dialogFile) : Failed loading command list."})},
        {"random too short", Cmd(Bytes().i16(9).i16(2).i16(-1)),
         InCommand({"Error @ COMMANDrandom::load(dialogFile) : Command list too short (i=0, "
                    "numberOfCommands=2)."})},
        {"ifelse condition", Cmd(Bytes().i16(10)),
         InCommand({RS0, CT, "Error @ COMMANDifelse::load(dialogFile) : Failed reading condition tree."})},
        {"ifelse then", Cmd(Bytes().i16(10).i16(0)),
         InCommand(
             {RS0, LT, "Error @ COMMANDifelse::load(dialogFile) : Failed loading thenpart command list."})},
        {"ifelse else", Cmd(Bytes().i16(10).i16(0).i16(-1)),
         InCommand(
             {RS0, LT, "Error @ COMMANDifelse::load(dialogFile) : Failed loading elsepart command list."})},
        {"while condition", Cmd(Bytes().i16(11)),
         InCommand({RS0, CT, "Error @ COMMANDwhile::load(dialogFile) : Failed reading condition tree."})},
        {"while list", Cmd(Bytes().i16(11).i16(1)),
         InCommand({RS0, LT, "Error @ COMMANDwhile::load(dialogFile) : Failed loading command list."})},
        {"compound list", Cmd(Bytes().i16(12)),
         InCommand({RS0, LT, "Error @ COMMANDcompound::load(dialogFile) : Failed loading command list."})},
        {"setquest", Cmd(Bytes().i16(13)),
         InCommand({RS0, LEN, "Error @ COMMANDsetquest::load(dialogFile) : Failed to read quest string."})},
        {"executescript", Cmd(Bytes().i16(14)),
         InCommand(
             {RS0, LEN, "Error @ COMMANDexecutescript::load(dialogFile) : Failed to read script name."})},
        {"additem count", Cmd(Bytes().i16(16)),
         InCommand({RS0, "Error @ COMMANDadditem::load(dialogFile) : Failed reading item count."})},
        {"additem name", Cmd(Bytes().i16(16).i16(1)),
         InCommand({RS0, LEN, "Error @ COMMANDadditem::load(dialogFile) : Failed to read item name."})},
        {"removeitem count", Cmd(Bytes().i16(17)),
         InCommand({RS0, "Error @ COMMANDremoveitem::load(dialogFile) : Failed reading item count."})},
        {"removeitem name", Cmd(Bytes().i16(17).i16(1)),
         InCommand({RS0, LEN, "Error @ COMMANDremoveitem::load(dialogFile) : Failed to read item name."})},
        // compound { ifelse true { log <bad part> } }: one line per enclosing level
        {"nested command", Cmd(Bytes().i16(12).i16(10).i16(0).i16(4).i16(3)),
         InCommand({"Error @ COMMANDnpc::load(dialogFile): Invalid string type 3.",
                    "Error @ COMMANDlog::load(dialogFile) : Failed loading string list.", C1,
                    "Error @ COMMANDifelse::load(dialogFile) : Failed loading thenpart command list.", C1,
                    "Error @ COMMANDcompound::load(dialogFile) : Failed loading command list."})},
    };
}

void ExpectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        ErrorCapture errors;
        DIALOG d;
        EXPECT_FALSE(d.loadBytes(c.bytes.b.data(), c.bytes.b.size(), "t", "t.dlg")) << c.name;
        EXPECT_EQ(errors.Lines(), c.lines) << c.name;
    }
}

TEST(DialogLoadMessages, FileStatesAndParameters) { ExpectCases(FileCases()); }
TEST(DialogLoadMessages, Conditions) { ExpectCases(ConditionCases()); }
TEST(DialogLoadMessages, CommandsOptionsAndStrings) { ExpectCases(CommandCases()); }

TEST(DialogLoadMessages, BadStringPartInNpcOfStateThree) {
    Bytes d;
    d.header().i16(1).i16(0).str("A").i16(4);
    for (int i = 0; i < 3; ++i) d.i16(0).i16(0).str("s").i16(0).i16(-1);
    d.i16(0).i16(0).str("s3").i16(0).i16(2).i16(0).i16(0).i16(1).str("hi").i16(4);
    ErrorCapture errors;
    DIALOG dialog;
    EXPECT_FALSE(dialog.loadBytes(d.b.data(), d.b.size(), "t", "t.dlg"));
    EXPECT_EQ(errors.Lines(),
              (std::vector<std::string>{"Error @ COMMANDnpc::load(dialogFile): Invalid string type 4.",
                                        "Error @ COMMANDnpc::load(dialogFile) : Failed loading string list.",
                                        C1, S1, "Error @ DIALOG::load(dialog) : Failed loading state 3."}));
}

TEST(DialogLoad, FileOfOnlyHeaderAndZeroCountsLoads) {
    Bytes d = Bytes().header().i16(0).i16(0).i16(0);
    ErrorCapture errors;
    DIALOG dialog;
    ASSERT_TRUE(dialog.loadBytes(d.b.data(), d.b.size(), "t", "t.dlg"));
    EXPECT_TRUE(errors.Lines().empty());
    EXPECT_EQ(dialog.parameterCount, 0);
    EXPECT_EQ(dialog.stateCount, 0);
    EXPECT_EQ(dialog.numberOfCycles, 0);
}

TEST(DialogLoad, MissingFileAndFileOnDisk) {
    ErrorCapture errors;
    DIALOG missing;
    std::string name = dlgtest::TempPath("absent");
    EXPECT_FALSE(missing.load(name.c_str()));
    EXPECT_EQ(errors.Lines(), std::vector<std::string>{D("Could not open file '" + name + ".dlg'.")});

    std::string empty = dlgtest::WriteDialogFile("empty", {});
    DIALOG nothing;
    EXPECT_FALSE(nothing.load(empty.c_str()));

    Bytes good = OneState(Bytes().i16(1).add(Text("hello")));
    std::string file = dlgtest::WriteDialogFile("good", good.b);
    DIALOG dialog;
    ASSERT_TRUE(dialog.load(file.c_str()));
    ASSERT_EQ(dialog.stateCount, 1);
    EXPECT_EQ(dialog.parameters[0]->name, "A");
    EXPECT_EQ(dialog.parameters[0]->getType(), PARAMETER_NPC);
    EXPECT_EQ(dialog.parameters[1]->getType(), PARAMETER_STRING);
    EXPECT_EQ(dialog.states[0]->commands->code(), COMMAND_PLAYER);
}

TEST(DialogLoad, EmptyStringsAndEmptyStringLists) {
    // player with an empty list; player with one empty constant part
    Bytes d = OneState(Bytes().i16(1).i16(-1).i16(1).add(Text("")));
    DIALOG dialog;
    ASSERT_TRUE(dialog.loadBytes(d.b.data(), d.b.size(), "t", "t.dlg"));
    auto* first = static_cast<COMMANDplayer*>(dialog.states[0]->commands);
    EXPECT_EQ(first->strings, nullptr);
    auto* second = static_cast<COMMANDplayer*>(first->next);
    ASSERT_NE(second->strings, nullptr);
    EXPECT_EQ(static_cast<STRINGconst*>(second->strings)->text, "");
    EXPECT_EQ(second->strings->next, nullptr);
    EXPECT_EQ(second->next, nullptr);  // a state's list ends in nothing
}

TEST(DialogLoad, ContinuationsCloseEveryNestedList) {
    Bytes cmds;
    cmds.i16(10).i16(0).i16(-1).i16(-1);                      // ifelse true {} {}
    cmds.i16(11).i16(1).i16(0).i16(-1);                       // while false { skip }
    cmds.i16(12).i16(-1);                                     // compound {}
    cmds.i16(7).i16(1).i16(1).add(Text("o")).i16(5).i16(-1);  // query { commands option { suspend } }
    cmds.i16(8).i16(2).i16(0).i16(0).i16(5).i16(4).add(Text("unused")).i16(-1);  // cycle 2 of 3 commands
    Bytes d = OneState(cmds, true, 1);
    DIALOG dialog;
    ASSERT_TRUE(dialog.loadBytes(d.b.data(), d.b.size(), "t", "t.dlg"));

    auto* ifelse = static_cast<COMMANDifelse*>(dialog.states[0]->commands);
    ASSERT_EQ(ifelse->code(), COMMAND_IFELSE);
    auto* thenBack = dynamic_cast<COMMANDgoto_pc_next*>(ifelse->thenPart);
    auto* elseBack = dynamic_cast<COMMANDgoto_pc_next*>(ifelse->elsePart);
    ASSERT_TRUE(thenBack && elseBack);
    EXPECT_NE(thenBack, elseBack);
    EXPECT_EQ(thenBack->target, ifelse);
    EXPECT_EQ(elseBack->target, ifelse);

    auto* loop = static_cast<COMMANDwhile*>(ifelse->next);
    ASSERT_EQ(loop->code(), COMMAND_WHILE);
    auto* back = dynamic_cast<COMMANDgoto_pc*>(loop->body->next);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->target, loop);

    auto* compound = static_cast<COMMANDcompound*>(loop->next);
    auto* compoundBack = dynamic_cast<COMMANDgoto_pc_next*>(compound->body);
    ASSERT_TRUE(compoundBack);
    EXPECT_EQ(compoundBack->target, compound);

    auto* query = static_cast<COMMANDquery*>(compound->next);
    ASSERT_EQ(query->options.size(), 1u);
    auto* option = static_cast<OPTIONcommands*>(query->options[0]);
    auto* optionBack = dynamic_cast<COMMANDgoto_pc_next*>(option->commands->next);
    ASSERT_TRUE(optionBack);
    EXPECT_EQ(optionBack->target, query);

    auto* cycle = static_cast<COMMANDcycle*>(query->next);
    ASSERT_EQ(cycle->alternatives.size(), 2u);
    for (COMMAND* alt : cycle->alternatives) {
        auto* altBack = dynamic_cast<COMMANDgoto_pc_next*>(alt->next);
        ASSERT_TRUE(altBack);
        EXPECT_EQ(altBack->target, cycle);
    }
    ASSERT_NE(cycle->ignored, nullptr);
    EXPECT_EQ(cycle->ignored->code(), COMMAND_LOG);
    EXPECT_EQ(cycle->next, nullptr);
}

TEST(DialogLoadGuards, ReferencesOutsideTheirArraysAreRefused) {
    struct Guard {
        Bytes commands;
        int cycles;
        std::string line;
    };
    std::vector<Guard> guards = {
        {Bytes().i16(6).i16(1), 0, D("State 0 refers to state 1, out of range (stateCount=1).")},
        {Bytes().i16(6).i16(-1), 0, D("State 0 refers to state -1, out of range (stateCount=1).")},
        {Bytes().i16(2).i16(0).i16(2).i16(-1), 0,
         D("State 0 refers to parameter 2, out of range (parameterCount=2).")},
        {Bytes().i16(3).i16(5).i16(-1), 0,
         D("State 0 refers to parameter 5, out of range (parameterCount=2).")},
        {Bytes().i16(1).i16(0).i16(-7).i16(-1), 0,
         D("State 0 refers to parameter -7, out of range (parameterCount=2).")},
        {Bytes().i16(8).i16(1).i16(0).i16(0).i16(-1), 0,
         D("State 0 refers to cycle 0, out of range (numberOfCycles=0).")},
        {Bytes().i16(8).i16(1).i16(2).i16(0).i16(-1), 2,
         D("State 0 refers to cycle 2, out of range (numberOfCycles=2).")},
        {Bytes().i16(8).i16(0).i16(0).i16(-1), 1,
         D("State 0 has a cycle without alternatives (numberOfCommands=0).")},
        {Bytes().i16(9).i16(-1).i16(-1), 0,
         D("State 0 has a random without alternatives (numberOfCommands=-1).")},
        {Bytes().i16(10).i16(5).i16(3).i16(-1).i16(-1), 0,
         D("State 0 refers to state 3, out of range (stateCount=1).")},
        {Bytes().i16(7).i16(1).i16(0).i16(-1).i16(4), 0,
         D("State 0 refers to state 4, out of range (stateCount=1).")},
        {Bytes().i16(7).i16(1).i16(1).i16(-1).i16(6).i16(9).i16(-1), 0,
         D("State 0 refers to state 9, out of range (stateCount=1).")},
    };
    for (const Guard& g : guards) {
        Bytes d = OneState(g.commands, true, g.cycles);
        ErrorCapture errors;
        DIALOG dialog;
        EXPECT_FALSE(dialog.loadBytes(d.b.data(), d.b.size(), "t", "t.dlg")) << g.line;
        EXPECT_EQ(errors.Lines(), std::vector<std::string>{g.line});
    }
}

TEST(DialogLoadGuards, NestingDeeperThanTheLimitIsRefused) {
    Bytes deep;
    for (int i = 0; i < kMaxDialogNesting + 5; ++i) deep.i16(12);  // compound { compound { ...
    Bytes d = OneState(deep, false);
    ErrorCapture errors;
    DIALOG dialog;
    EXPECT_FALSE(dialog.loadBytes(d.b.data(), d.b.size(), "t", "t.dlg"));
    std::vector<std::string> lines = errors.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0],
              "Error @ COMMAND::loadList(dialogFile, listHead, append) : Command lists nested deeper than "
              "100 levels.");
    EXPECT_EQ(lines.back(), D0);

    Bytes nots;
    for (int i = 0; i < 3 * kMaxDialogNesting; ++i) nots.i16(4);
    Bytes c = Cond(nots);
    ErrorCapture errors2;
    EXPECT_FALSE(dialog.loadBytes(c.b.data(), c.b.size(), "t", "t.dlg"));
    lines = errors2.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0],
              "Error @ CONDITION::loadTree(dialogFile) : Conditions nested deeper than 100 levels.");
}

TEST(DialogLoadGuards, TruncationAtEveryByteNeverLoadsAndNeverCrashes) {
    std::vector<unsigned char> full = dlgtest::Compile(R"(
        npc A
        string S
        state one when (enabled(two) or not heard(two)) and quest("q") and hasitem(2, "key") {
            npc A "Hi " $S
            remark A "hm"
            query { option "a" goto two option "b" { log "x" setquest "q" } }
            cycle { skip suspend } ignored { additem "k" }
            random { removeitem 3 "k" }
            if false { player } else { script "s" }
            while disabled(two) { group { goto two } }
        }
        state two repeatable { goto one }
    )");
    ErrorCapture errors;
    for (size_t n = 0; n < full.size(); ++n) {
        DIALOG dialog;
        EXPECT_FALSE(dialog.loadBytes(full.data(), n, "t", "t.dlg")) << n;
    }
    DIALOG dialog;
    EXPECT_TRUE(dialog.loadBytes(full.data(), full.size(), "t", "t.dlg"));
}

TEST(DialogWriter, WritesBackEveryByteTheLoaderRead) {
    Bytes d;
    d.header().i16(3).i16(0).str("Bob").i16(1).str("gold").i16(0).str("Bob");  // duplicate names
    d.i16(2);
    d.i16(0)
        .i16(1)
        .str("")
        .i16(2)
        .i16(9)
        .i16(-4)
        .str(std::string("it\0em", 5))
        .i16(3)
        .i16(7)
        .i16(1)
        .i16(6)
        .i16(0);
    d.i16(2).i16(0).i16(2).i16(0).i16(1).i16(1).str("x").i16(1).str("").i16(-1);
    d.i16(7).i16(0);                                       // query without options
    d.i16(9).i16(1).i16(5).i16(3).i16(1).i16(-1).i16(-1);  // random with an unused tail
    d.i16(-1);
    d.i16(0).i16(0).str("b").i16(8).str("q").i16(-1);
    d.i16(-3).raw("trailing bytes");
    DIALOG dialog;
    ASSERT_TRUE(dialog.loadBytes(d.b.data(), d.b.size(), "t", "t.dlg"));
    EXPECT_EQ(dialog.numberOfCycles, -3);
    EXPECT_EQ(writeDialog(dialog), d.b);
}

}  // namespace

namespace {

TEST(DialogLoad, TraceNamesWhatWasLoaded) {
    std::string name = dlgtest::CompileToFile("traced", R"(
        npc Guard string pass
        state gate when quest("q") and not heard(gate) { npc Guard "Halt." }
    )");
    FILE* trace = std::tmpfile();
    SetDialogTraceStream(trace);
    DIALOG dialog;
    bool ok = dialog.load(name.c_str());
    SetDialogTraceStream(nullptr);
    ASSERT_TRUE(ok);
    std::rewind(trace);
    std::vector<std::string> lines;
    char buf[512];
    while (std::fgets(buf, sizeof buf, trace)) {
        std::string l = buf;
        lines.push_back(l.substr(0, l.size() - 1));
    }
    std::fclose(trace);
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "Opening dialog file '" + name + ".dlg'.", "Parameter #0: npc Guard",
                  "Parameter #1: string pass", "Number of states = 1", "State name: 'gate'.",
                  "(*quest(\"q\")) and (*not(*heardabout(0)))", "  *npc \"Halt.\"",
                  "Dialog " + name + " (" + name + ".dlg) has been loaded.", "2 parameter(s), 1 state(s)."}));
}

}  // namespace
