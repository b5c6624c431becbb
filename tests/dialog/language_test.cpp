// The dialog authoring language: compile errors with their positions, the
// meaning of each construct, and the round trip file -> text -> file.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "dialog/dialoginstance.h"
#include "dialog_test_util.h"

using dlgtest::Bytes;
using dlgtest::ErrorCapture;

namespace {

std::unique_ptr<DIALOG> Load(const std::vector<unsigned char>& bytes) {
    auto d = std::make_unique<DIALOG>();
    EXPECT_TRUE(d->loadBytes(bytes.data(), bytes.size(), "t", "t.dlg"));
    return d;
}

// file -> text -> file must give the same bytes, and the text must be stable.
void ExpectRoundTrip(const std::vector<unsigned char>& bytes, const std::string& what) {
    std::unique_ptr<DIALOG> d = Load(bytes);
    std::string text = DecompileDialog(*d);
    std::vector<unsigned char> again;
    DialogCompileError error;
    ASSERT_TRUE(CompileDialogSource(text, &again, &error))
        << what << "\n"
        << error.line << ":" << error.column << ": " << error.message << "\n"
        << text;
    EXPECT_EQ(again, bytes) << what << "\n" << text;
    EXPECT_EQ(DecompileDialog(*Load(again)), text) << what;
}

const char* kEveryConstruct = R"(# every construct of the language
npc Farmer
npc "Old Tom"     # a quoted name
string reward
cycles 4

state start when true {
    skip
    player "Hello, " $reward "!" "\t\"quoted\"\n\\ \x01"
    player
    npc Farmer to "Old Tom" "Morning."
    npc Farmer "To myself."
    npc @1 to @0 $"Old Tom"
    remark "Old Tom" "yawns"
    log "entered" $reward
    suspend
    goto middle
}

state middle repeatable when (enabled(start) or disabled(@0)) and not heard(middle) and quest("q")
        or hasitem("key") or hasitem(-3, "gold") or false {
    query {
        option "Go on" goto start
        option goto middle
        option "Do things" $reward {
            setquest "q"
            script "wave"
        }
        option {
        }
    }
    cycle {
        player "one"
        group { player "two" additem "apple" }
    } ignored {
        removeitem 5 "apple"
    }
    cycle 2 { skip }
    random { suspend log }
    if quest("a") { player "a" } else if quest("b") { player "b" } else { player "c" }
    if true { }
    while not not false { skip }
    additem 0 "nothing"
}

state "odd name \x7f" once { }
trailer "tail\x00"
)";

TEST(DialogLanguage, EveryConstructRoundTrips) {
    std::vector<unsigned char> bytes = dlgtest::Compile(kEveryConstruct);
    ASSERT_FALSE(bytes.empty());
    ExpectRoundTrip(bytes, "every construct");
    std::unique_ptr<DIALOG> d = Load(bytes);
    EXPECT_EQ(d->parameterCount, 3);
    EXPECT_EQ(d->parameters[1]->name, "Old Tom");
    EXPECT_EQ(d->stateCount, 3);
    EXPECT_EQ(d->numberOfCycles, 4);
    EXPECT_EQ(d->states[1]->repeatable, 1);
    EXPECT_EQ(d->states[2]->name, "odd name \x7f");
    EXPECT_EQ(std::string(d->trailer.begin(), d->trailer.end()), std::string("tail\0", 5));
}

TEST(DialogLanguage, DecompiledTextIsReadable) {
    std::vector<unsigned char> bytes = dlgtest::Compile(R"(
        npc Guard string pass
        state gate when quest("a") and quest("b") and not quest("c") {
            npc Guard "Halt! Show " $pass "."
            query { option "Here." goto gate option "Bye." { suspend } }
            if heard(gate) { additem 2 "coin" } else if true { skip }
            cycle { skip } ignored { suspend }
        }
    )");
    EXPECT_EQ(DecompileDialog(*Load(bytes)),
              "npc Guard\n"
              "string pass\n"
              "cycles 1\n"
              "\n"
              "state gate when (quest(\"a\") and quest(\"b\")) and not quest(\"c\") {\n"
              "    npc Guard \"Halt! Show \" $pass \".\"\n"
              "    query {\n"
              "        option \"Here.\" goto gate\n"
              "        option \"Bye.\" {\n"
              "            suspend\n"
              "        }\n"
              "    }\n"
              "    if heard(gate) {\n"
              "        additem 2 \"coin\"\n"
              "    } else {\n"
              "        if true {\n"
              "            skip\n"
              "        }\n"
              "    }\n"
              "    cycle 0 {\n"
              "        skip\n"
              "    } ignored {\n"
              "        suspend\n"
              "    }\n"
              "}\n");
}

TEST(DialogLanguage, ConstructsMeanWhatTheFileHolds) {
    std::unique_ptr<DIALOG> d = Load(dlgtest::Compile(R"(
        npc A npc B
        state s when quest("1") or quest("2") and quest("3") {
            npc A "self"
            cycle { skip }
            cycle 4 { skip }
            cycle { skip }
            additem "x"
        }
    )"));
    // and binds tighter than or
    auto* top = static_cast<CONDITIONbinary*>(d->states[0]->condition);
    ASSERT_EQ(top->code(), CONDITION_OR);
    EXPECT_EQ(top->left->code(), CONDITION_QUEST);
    EXPECT_EQ(top->right->code(), CONDITION_AND);
    auto* npc = static_cast<COMMANDnpc*>(d->states[0]->commands);
    EXPECT_EQ(npc->fromNPCIndex, 0);
    EXPECT_EQ(npc->toNPCIndex, 0);  // no listener: said to the speaker itself
    // cycles without an index take the ones after the highest given
    auto* c1 = static_cast<COMMANDcycle*>(npc->next);
    auto* c2 = static_cast<COMMANDcycle*>(c1->next);
    auto* c3 = static_cast<COMMANDcycle*>(c2->next);
    EXPECT_EQ(c1->cycleIndex, 5);
    EXPECT_EQ(c2->cycleIndex, 4);
    EXPECT_EQ(c3->cycleIndex, 6);
    EXPECT_EQ(d->numberOfCycles, 7);
    auto* item = static_cast<COMMANDadditem*>(c3->next);
    EXPECT_EQ(item->itemCount, 1);

    std::unique_ptr<DIALOG> chained = Load(dlgtest::Compile("state s when true and false and true { }"));
    auto* andTop = static_cast<CONDITIONbinary*>(chained->states[0]->condition);
    EXPECT_EQ(andTop->left->code(), CONDITION_AND);  // groups to the left
    EXPECT_EQ(andTop->right->code(), CONDITION_TRUE);
}

TEST(DialogLanguage, MistakesAreReportedWithLineAndColumn) {
    struct Mistake {
        const char* source;
        int line, column;
        std::string message;
    };
    std::vector<Mistake> mistakes = {
        {"state s {\n  jump x\n}", 2, 3, "unknown command 'jump'"},
        {"state s { goto nowhere }", 1, 16, "unknown state 'nowhere'"},
        {"npc A\nstate s { npc B \"x\" }", 2, 15, "unknown parameter 'B'"},
        {"state s { goto @3 }", 1, 16, "state @3 does not exist (there are 1)"},
        {"state a { } state a { goto a }", 1, 28, "state name 'a' is ambiguous (@0 and @1); use @index"},
        {"state s { player \"open", 1, 18, "unterminated string"},
        {"state s { player \"\\q\" }", 1, 19, "unknown escape '\\q'"},
        {"state s { player \"\\x4\" }", 1, 19, "\\x needs two hexadecimal digits"},
        {"state s {\n  player \"x\"\n", 3, 1, "missing '}'"},
        {"state s when { }", 1, 14, "expected a condition, found '{'"},
        {"state s when quest(flag) { }", 1, 20, "expected quest flag (a quoted string), found 'flag'"},
        {"state s when hasitem(2 \"k\") { }", 1, 24, "expected ',', found a string"},
        {"state s when sunny { }", 1, 14, "unknown condition 'sunny'"},
        {"state s { cycle { } }", 1, 11, "'cycle' needs at least one alternative"},
        {"cycles 1\nstate s { cycle 1 { skip } }", 2, 11, "cycle index 1 is outside 'cycles 1'"},
        {"state s { additem 40000 \"x\" }", 1, 19, "item count 40000 is out of range (-32768..32767)"},
        {"state s { query { player } }", 1, 19, "expected 'option' or '}', found 'player'"},
        {"state s { query { option \"x\" } }", 1, 30,
         "expected 'goto' or '{' after the option text, found '}'"},
        {"state s { } banana", 1, 13,
         "expected 'npc', 'string', 'state', 'cycles' or 'trailer', found 'banana'"},
        {"state s { player ; }", 1, 18, "unexpected character ';'"},
        {"cycles 1 cycles 2", 1, 10, "'cycles' is given twice"},
        {"state s { goto }", 1, 16, "expected state (a name or @index), found '}'"},
    };
    for (const Mistake& m : mistakes) {
        std::vector<unsigned char> bytes;
        DialogCompileError error;
        EXPECT_FALSE(CompileDialogSource(m.source, &bytes, &error)) << m.source;
        EXPECT_EQ(error.message, m.message) << m.source;
        EXPECT_EQ(error.line, m.line) << m.source;
        EXPECT_EQ(error.column, m.column) << m.source;
    }
}

TEST(DialogLanguage, EveryNameMistakeIsReported) {
    std::vector<unsigned char> bytes;
    DialogCompileError first;
    std::vector<DialogCompileError> all;
    EXPECT_FALSE(
        CompileDialogSource("npc A\nstate s {\n  goto x npc B \"hi\"\n  cycle 3 { skip }\n}\ncycles 2\n"
                            "state t when heard(y) { }",
                            &bytes, &first, &all));
    std::vector<std::string> seen;
    for (const DialogCompileError& e : all)
        seen.push_back(std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.message);
    EXPECT_EQ(seen, (std::vector<std::string>{"3:8: unknown state 'x'", "3:14: unknown parameter 'B'",
                                              "4:3: cycle index 3 is outside 'cycles 2'",
                                              "7:20: unknown state 'y'"}));
    EXPECT_EQ(first.message, "unknown state 'x'");
    EXPECT_TRUE(bytes.empty());
}

TEST(DialogLanguage, OddFilesRoundTrip) {
    Bytes d;
    d.header().i16(3).i16(0).str("Bob").i16(1).str("gold").i16(0).str("Bob");  // a name used twice
    d.i16(3);
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
    d.i16(2).i16(2).i16(2).i16(-1);  // npc @2 to @2: no listener
    d.i16(7).i16(0);                 // query without options
    d.i16(9).i16(1).i16(5).i16(3).i16(1).i16(-1).i16(-1);
    d.i16(6).i16(2);
    d.i16(-1);
    d.i16(0).i16(0).str("b").i16(8).str("q").i16(-1);
    d.i16(0).i16(0).str("b").i16(0).i16(6).i16(1).i16(-1);  // duplicate state name
    d.i16(-3).raw("trailing bytes");
    ExpectRoundTrip(d.b, "odd file");

    std::string every;
    for (int c = 0; c < 256; ++c) every += (char)c;
    Bytes all = dlgtest::OneState(Bytes().i16(1).i16(1).str(every).i16(-1));
    ExpectRoundTrip(all.b, "every byte value");
}

// Random well-formed dialogs: every one must survive file -> text -> file.
class RandomDialog {
public:
    explicit RandomDialog(unsigned seed) : rng_(seed) {}

    Bytes Make() {
        Bytes d;
        d.header();
        params_ = Pick(0, 3);
        d.i16(params_);
        for (int i = 0; i < params_; ++i) d.i16(Pick(0, 1)).str(Name());
        states_ = Pick(1, 4);
        cycles_ = Pick(0, 3);
        d.i16(states_);
        for (int i = 0; i < states_; ++i) {
            d.i16(0).i16(Pick(0, 1)).str(Name());
            Condition(d, 0);
            List(d, 0);
        }
        d.i16(cycles_);
        for (int i = Pick(0, 2); i > 0; --i) d.raw(std::string(1, (char)Pick(0, 255)));
        return d;
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    std::string Text() {
        static const char kBytes[] = {'a',  'Z', ' ', '"', '\\', '\n',      '\t',
                                      '\0', '$', '#', '{', '@',  (char)0xe9};
        std::string s;
        for (int i = Pick(0, 5); i > 0; --i) s += kBytes[Pick(0, (int)sizeof kBytes - 1)];
        return s;
    }
    std::string Name() {
        static const char* kNames[] = {"a", "b", "Old Tom", "", "if", "to", "a", "x1", "\"q\""};
        return kNames[Pick(0, 8)];
    }
    void Strings(Bytes& d) {
        for (int i = Pick(0, 3); i > 0; --i) {
            if (params_ > 0 && Pick(0, 2) == 0)
                d.i16(0).i16(Pick(0, params_ - 1));
            else
                d.i16(1).str(Text());
        }
        d.i16(-1);
    }
    void Condition(Bytes& d, int depth) {
        int code = Pick(0, depth > 3 ? 1 : 9);
        if (depth > 3 && code == 1) code = Pick(5, 9);
        d.i16(code);
        switch (code) {
        case 2:
        case 3:
            Condition(d, depth + 1);
            Condition(d, depth + 1);
            break;
        case 4: Condition(d, depth + 1); break;
        case 5:
        case 6:
        case 7: d.i16(Pick(0, states_ - 1)); break;
        case 8: d.str(Text()); break;
        case 9: d.i16(Pick(-3, 3)).str(Text()); break;
        default: break;
        }
    }
    void List(Bytes& d, int depth) {
        for (int i = Pick(0, depth > 2 ? 1 : 4); i > 0; --i) Command(d, depth);
        d.i16(-1);
    }
    void Command(Bytes& d, int depth) {
        static const int kCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17};
        int code = kCodes[Pick(0, 16)];
        if (depth > 2 && (code >= 7 && code <= 12)) code = 5;
        if (params_ == 0 && (code == 2 || code == 3)) code = 4;
        if (cycles_ == 0 && code == 8) code = 9;
        d.i16(code);
        switch (code) {
        case 1:
        case 4: Strings(d); break;
        case 2:
            d.i16(Pick(0, params_ - 1)).i16(Pick(0, params_ - 1));
            Strings(d);
            break;
        case 3:
            d.i16(Pick(0, params_ - 1));
            Strings(d);
            break;
        case 6: d.i16(Pick(0, states_ - 1)); break;
        case 7: {
            int n = Pick(0, 3);
            d.i16(n);
            for (int i = 0; i < n; ++i) {
                int type = Pick(0, 1);
                d.i16(type);
                Strings(d);
                if (type == 0)
                    d.i16(Pick(0, states_ - 1));
                else
                    List(d, depth + 1);
            }
            break;
        }
        case 8:
        case 9: {
            int n = Pick(1, 3);
            d.i16(n);
            if (code == 8) d.i16(Pick(0, cycles_ - 1));
            for (int i = n + Pick(0, 2); i > 0; --i) Command(d, depth + 1);
            d.i16(-1);
            break;
        }
        case 10:
            Condition(d, 1);
            List(d, depth + 1);
            List(d, depth + 1);
            break;
        case 11:
            Condition(d, 1);
            List(d, depth + 1);
            break;
        case 12: List(d, depth + 1); break;
        case 13:
        case 14: d.str(Text()); break;
        case 16:
        case 17: d.i16(Pick(-2, 40)).str(Text()); break;
        default: break;
        }
    }

    std::mt19937 rng_;
    int params_ = 0, states_ = 1, cycles_ = 0;
};

TEST(DialogLanguage, RandomDialogsRoundTrip) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        Bytes d = RandomDialog(seed).Make();
        ExpectRoundTrip(d.b, "seed " + std::to_string(seed));
        if (HasFailure()) return;
    }
}

TEST(DialogLanguage, SampleDialogsCompileLoadAndRoundTrip) {
    std::string dir = std::string(ZENDAR_SOURCE_DIR) + "/assets/dialogs";
    DIR* folder = opendir(dir.c_str());
    ASSERT_NE(folder, nullptr);
    int samples = 0;
    while (dirent* entry = readdir(folder)) {
        std::string leaf = entry->d_name;
        if (leaf.size() < 6 || leaf.compare(leaf.size() - 5, 5, ".dtxt") != 0) continue;
        std::ifstream in(dir + "/" + leaf, std::ios::binary);
        std::stringstream source;
        source << in.rdbuf();
        std::vector<unsigned char> bytes;
        DialogCompileError error;
        ASSERT_TRUE(CompileDialogSource(source.str(), &bytes, &error))
            << leaf << ":" << error.line << ":" << error.column << ": " << error.message;
        ExpectRoundTrip(bytes, leaf);
        ++samples;
    }
    closedir(folder);
    EXPECT_GE(samples, 2);
}

}  // namespace

namespace {

// Damaged files: never a crash, and whatever still loads also runs without
// hanging and still round-trips through the text form.
TEST(DialogRobustness, MutatedFilesNeverCrashOrHang) {
    std::vector<unsigned char> base = dlgtest::Compile(R"(
        npc A string S npc B
        state one when (enabled(two) or not heard(two)) and quest("q") and hasitem(2, "key") {
            npc A to B "Hi " $S
            remark B "hm"
            query { option "a" goto two option "b" { log "x" setquest "q" } }
            cycle { skip suspend } ignored { additem "k" }
            random { removeitem 3 "k" player "p" }
            if false { player } else { script "s" }
            while disabled(two) { group { goto two } }
            goto one
        }
        state two repeatable when enabled(one) { goto one }
    )");
    std::mt19937 rng(12345);
    ErrorCapture errors;  // keeps the expected error lines out of the test output
    int loaded = 0;
    // DIALOG_FUZZ_ROUNDS runs a longer search by hand
    const char* env = std::getenv("DIALOG_FUZZ_ROUNDS");
    int rounds = env ? std::atoi(env) : 3000;
    for (int round = 0; round < rounds; ++round) {
        std::vector<unsigned char> bytes = base;
        for (int k = std::uniform_int_distribution<int>(1, 3)(rng); k > 0 && !bytes.empty(); --k) {
            size_t at = std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(rng);
            int kind = std::uniform_int_distribution<int>(0, 2)(rng);
            if (kind == 0)
                bytes[at] = (unsigned char)std::uniform_int_distribution<int>(0, 255)(rng);
            else if (kind == 1)
                bytes[at] = (unsigned char)(bytes[at] + std::uniform_int_distribution<int>(-2, 2)(rng));
            else
                bytes.resize(at);
        }
        DIALOG d;
        if (!d.loadBytes(bytes.data(), bytes.size(), "t", "t.dlg")) continue;
        ++loaded;
        ExpectRoundTrip(bytes, "round " + std::to_string(round));
        std::string name = dlgtest::WriteDialogFile("m" + std::to_string(round), bytes);
        std::vector<ParameterValue> values(d.parameterSlots());
        std::vector<ParameterValue*> pointers;
        String who("who");
        for (int i = 0; i < d.parameterSlots(); ++i) {
            values[i].type = (unsigned char)d.parameters[i]->getType();
            values[i].name = values[i].type == PARAMETER_NPC ? &who : nullptr;
            values[i].text = "text";
            pointers.push_back(&values[i]);
        }
        DialogInstanceImplementation instance(name.c_str(), pointers.data());
        ASSERT_TRUE(instance.valid);
        for (int step = 0; step < 40; ++step) {
            std::unique_ptr<Action> a(instance.nextAction());
            ASSERT_NE(a, nullptr);
            if (a->kind == ACTION_QUERY) static_cast<ActionQuery*>(a.get())->select(step % 3);
        }
        std::remove((name + ".dlg").c_str());
        if (HasFailure()) return;
    }
    EXPECT_GT(loaded, 100);
}

}  // namespace
