// The replay text format, its error messages, and the scripted answers that
// the dialog calls take from it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "os/dialogs.h"
#include "os/replay.h"

namespace {

std::string ParseError(const std::string& text) {
    Replay r;
    std::string error;
    EXPECT_FALSE(r.Parse(text, &error)) << "accepted:\n" << text;
    return error;
}

TEST(ReplayFormat, EveryEventKind) {
    Replay r;
    std::string error;
    ASSERT_TRUE(
        r.Parse("# a walk\n"
                "\n"
                "  12 key down 200  \n"
                "12 mouse move -5 7\n"
                "13 mouse move 0 0 120\r\n"
                "14 mouse button 1 down\n"
                "15 mouse button 1 up\n"
                "16 key up 200\n"
                "\v \f\n",
                &error))
        << error;
    const std::vector<ReplayEvent>& e = r.Events();
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].frame, 12);
    EXPECT_EQ(e[0].type, REPLAY_KEY);
    EXPECT_EQ(e[0].code, 200);
    EXPECT_TRUE(e[0].pressed);
    EXPECT_EQ(e[0].line, 3);
    EXPECT_EQ(e[1].type, REPLAY_MOUSE_MOVE);
    EXPECT_EQ(e[1].dx, -5);
    EXPECT_EQ(e[1].dy, 7);
    EXPECT_EQ(e[1].dz, 0);
    EXPECT_EQ(e[2].dz, 120);
    EXPECT_EQ(e[3].type, REPLAY_MOUSE_BUTTON);
    EXPECT_EQ(e[3].code, 1);
    EXPECT_TRUE(e[3].pressed);
    EXPECT_FALSE(e[4].pressed);
    EXPECT_FALSE(e[5].pressed);
    EXPECT_EQ(r.AnswersLeft(), 0u);
}

TEST(ReplayFormat, EventsComeOutByFrameThenFileOrder) {
    Replay r;
    std::string error;
    ASSERT_TRUE(r.Parse("5 key down 30\n2 key down 1\n5 key up 30\n2 mouse move 1 1\n0 key up 1\n", &error));
    ReplayEvent e;
    EXPECT_TRUE(r.NextInputEvent(0, &e));
    EXPECT_EQ(e.line, 5);
    EXPECT_FALSE(r.NextInputEvent(1, &e)) << "nothing due at frame 1";
    EXPECT_TRUE(r.NextInputEvent(4, &e));
    EXPECT_EQ(e.line, 2);
    EXPECT_TRUE(r.NextInputEvent(4, &e));
    EXPECT_EQ(e.line, 4);
    EXPECT_FALSE(r.NextInputEvent(4, &e));
    // A reader that falls behind gets the overdue events at once, in order.
    EXPECT_TRUE(r.NextInputEvent(100, &e));
    EXPECT_EQ(e.line, 1);
    EXPECT_TRUE(r.NextInputEvent(100, &e));
    EXPECT_EQ(e.line, 3);
    EXPECT_FALSE(r.HasInputEvents());
}

TEST(ReplayFormat, WindowSeesTheSameKeysThroughItsOwnCursor) {
    Replay r;
    std::string error;
    ASSERT_TRUE(r.Parse("1 mouse move 3 3\n1 key down 1\n2 mouse button 0 down\n3 key up 1\n", &error));
    ReplayEvent e;
    ASSERT_TRUE(r.NextWindowKey(2, &e));
    EXPECT_EQ(e.code, 1);
    EXPECT_TRUE(e.pressed);
    EXPECT_FALSE(r.NextWindowKey(2, &e)) << "mouse events are not window keys";
    // The device still gets everything.
    int count = 0;
    while (r.NextInputEvent(3, &e)) ++count;
    EXPECT_EQ(count, 4);
    ASSERT_TRUE(r.NextWindowKey(3, &e));
    EXPECT_FALSE(e.pressed);
}

TEST(ReplayFormat, AnswersInFileOrder) {
    Replay r;
    std::string error;
    ASSERT_TRUE(
        r.Parse("answer yes\n"
                "3 key down 1\n"
                "answer file area\\my village.z1a\n"
                "answer field Symbolic Name: = lamp 01\n"
                "answer field Type: = Light\n"
                "answer ok\n"
                "answer cancel\n"
                "answer no\n",
                &error))
        << error;
    ASSERT_EQ(r.AnswersLeft(), 5u);
    EXPECT_EQ(r.FrontAnswer()->type, ANSWER_YES);
    r.PopAnswer();
    EXPECT_EQ(r.FrontAnswer()->type, ANSWER_FILE);
    EXPECT_EQ(r.FrontAnswer()->path, "area\\my village.z1a");
    r.PopAnswer();
    const ReplayAnswer* ok = r.FrontAnswer();
    EXPECT_EQ(ok->type, ANSWER_OK);
    ASSERT_EQ(ok->fields.size(), 2u);
    EXPECT_EQ(ok->fields[0].first, "Symbolic Name:");
    EXPECT_EQ(ok->fields[0].second, "lamp 01");
    EXPECT_EQ(ok->fields[1].first, "Type:");
    EXPECT_EQ(ok->line, 6);
    r.PopAnswer();
    EXPECT_EQ(r.FrontAnswer()->type, ANSWER_CANCEL);
    r.PopAnswer();
    EXPECT_EQ(r.FrontAnswer()->type, ANSWER_NO);
    r.PopAnswer();
    EXPECT_EQ(r.FrontAnswer(), nullptr);
}

TEST(ReplayFormat, ErrorMessagesNameTheLine) {
    EXPECT_EQ(ParseError("1 key down 1\n2 key down 256\n"), "line 2: key code '256' is not in 0..255");
    EXPECT_EQ(ParseError("1 key press 1\n"), "line 1: expected 'down' or 'up', got 'press'");
    EXPECT_EQ(ParseError("1 key down\n"), "line 1: expected 'key down CODE' or 'key up CODE'");
    EXPECT_EQ(ParseError("x key down 1\n"), "line 1: expected a frame number or 'answer', got 'x'");
    EXPECT_EQ(ParseError("-1 key down 1\n"), "line 1: expected a frame number or 'answer', got '-1'");
    EXPECT_EQ(ParseError("7\n"), "line 1: missing event after the frame number");
    EXPECT_EQ(ParseError("7 joystick 1\n"), "line 1: unknown event 'joystick' (key, mouse)");
    EXPECT_EQ(ParseError("7 mouse wheel 1\n"), "line 1: expected 'mouse move' or 'mouse button'");
    EXPECT_EQ(ParseError("7 mouse move 1\n"), "line 1: expected 'mouse move DX DY [DZ]'");
    EXPECT_EQ(ParseError("7 mouse move 1 y\n"), "line 1: mouse motion 'y' is not a whole number");
    EXPECT_EQ(ParseError("7 mouse button 4 down\n"), "line 1: mouse button '4' is not in 0..3");
    EXPECT_EQ(ParseError("7 mouse button 0 click\n"), "line 1: expected 'down' or 'up', got 'click'");
    EXPECT_EQ(ParseError("answer maybe\n"),
              "line 1: unknown answer 'maybe' (yes, no, ok, cancel, file, field)");
    EXPECT_EQ(ParseError("answer\n"),
              "line 1: answer needs yes, no, ok, cancel, file PATH or field LABEL = VALUE");
    EXPECT_EQ(ParseError("answer yes please\n"), "line 1: unexpected text after 'answer yes'");
    EXPECT_EQ(ParseError("answer file   \n"), "line 1: answer file needs a path");
    EXPECT_EQ(ParseError("answer field Name:\n"), "line 1: answer field needs LABEL = VALUE");
    EXPECT_EQ(ParseError("answer field Name: = a\nanswer yes\n"),
              "line 2: field answers must be followed by 'answer ok', not 'answer yes'");
    EXPECT_EQ(ParseError("1 key down 1\nanswer field A = 1\nanswer field B = 2\n"),
              "line 2: field answers without a following 'answer ok'");
}

TEST(ReplayFormat, FailedParseKeepsTheOldContent) {
    Replay r;
    std::string error;
    ASSERT_TRUE(r.Parse("1 key down 1\nanswer yes\n", &error));
    EXPECT_FALSE(r.Parse("2 key down 2\n2 key down 999\n", &error));
    ASSERT_EQ(r.Events().size(), 1u);
    EXPECT_EQ(r.Events()[0].code, 1);
    EXPECT_EQ(r.AnswersLeft(), 1u);
}

TEST(ReplayFormat, LoadReadsFilesAndNamesThemInErrors) {
    std::string dir = ::testing::TempDir();
    std::string path = dir + "replay_load_" + std::to_string(getpid()) + ".txt";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("3 key down 1\n4 key dwn 1\n", f);
    std::fclose(f);
    Replay r;
    std::string error;
    EXPECT_FALSE(r.Load(path.c_str(), &error));
    EXPECT_EQ(error, path + ": line 2: expected 'down' or 'up', got 'dwn'");
    std::remove(path.c_str());
    EXPECT_FALSE(r.Load(path.c_str(), &error));
    EXPECT_EQ(error, "cannot read replay file '" + path + "'");
}

// ---------------------------------------------------------------------------
// The dialog calls with and without a replay.

class FakeDialogs : public Dialogs {
public:
    void ErrorBox(const char* caption, const char* text) override {
        log += std::string("error ") + caption + ": " + text + "\n";
    }
    bool YesNoBox(const char* caption, const char*) override {
        log += std::string("yesno ") + caption + "\n";
        return yes;
    }
    bool RunDialog(PropertySheet* sheet, SheetChanged, void*) override {
        log += "dialog " + sheet->title + "\n";
        sheet->fields[0].text = "typed";
        return true;
    }
    bool FileDialog(bool save, const char* title, const char* description, const char* extension, char* path,
                    int size) override {
        log += std::string(save ? "save " : "open ") + title + " " + description + " " + extension + "\n";
        std::snprintf(path, static_cast<size_t>(size), "%s", save ? "out.z1a" : "in.z1a");
        return true;
    }
    std::string log;
    bool yes = true;
};

struct ReplayScope {
    explicit ReplayScope(const std::string& text) {
        std::string error;
        EXPECT_TRUE(replay.Parse(text, &error)) << error;
        g_replay = &replay;
    }
    ~ReplayScope() { g_replay = nullptr; }
    Replay replay;
};

struct DialogsScope {
    DialogsScope() { g_dialogs = &fake; }
    ~DialogsScope() { g_dialogs = nullptr; }
    FakeDialogs fake;
};

PropertySheet SpawnLikeSheet() {
    PropertySheet s;
    s.title = "Spawn Dialog";
    s.AddChoice("Type:", {"Object", "Light", "Camera"}, 0);
    s.AddText("Symbolic Name:", "");
    s.AddCheck("Locked", false);
    s.AddReadOnly("Id:", "7");
    return s;
}

TEST(ScriptedAnswers, YesNoTakesOnlyYesOrNo) {
    DialogsScope d;
    ReplayScope r("answer file a.z1a\nanswer no\nanswer yes\n");
    // The file answer at the head does not fit: the default is No and the
    // answer stays for the file dialog it was meant for.
    EXPECT_FALSE(YesNoBox("Quit?", "Are you sure you want to Quit?"));
    EXPECT_EQ(r.replay.AnswersLeft(), 3u);
    EXPECT_STREQ(OpenFileDialog("Load", "ZdA Files", "z1a"), "a.z1a");
    EXPECT_FALSE(YesNoBox("Quit?", "?"));
    EXPECT_TRUE(YesNoBox("Quit?", "?"));
    EXPECT_FALSE(YesNoBox("Quit?", "?")) << "no answer left: No";
    EXPECT_EQ(d.fake.log, "") << "a replay never shows the platform's boxes";
}

TEST(ScriptedAnswers, ErrorBoxTakesAQueuedOkOnly) {
    ReplayScope r("answer ok\nanswer yes\n");
    ErrorBox("Error", "Cannot create an inputdriver");
    EXPECT_EQ(r.replay.FrontAnswer()->type, ANSWER_YES);
    ErrorBox("Error", "again");
    EXPECT_EQ(r.replay.AnswersLeft(), 1u) << "an error box does not eat a yes";
}

TEST(ScriptedAnswers, DialogFieldsAreSetAndChangesReported) {
    ReplayScope r(
        "answer field Type: = Light\n"
        "answer field Symbolic Name: = lamp 01\n"
        "answer field Locked = 1\n"
        "answer ok\n"
        "answer field Type: = 2\n"
        "answer ok\n"
        "answer cancel\n");
    PropertySheet s = SpawnLikeSheet();
    std::vector<int> changed;
    auto note = [](PropertySheet*, int index, void* user) {
        static_cast<std::vector<int>*>(user)->push_back(index);
    };
    ASSERT_TRUE(RunDialog(&s, note, &changed));
    EXPECT_EQ(s.Choice("Type:", -1), 1);
    EXPECT_EQ(s.Text("Symbolic Name:"), "lamp 01");
    EXPECT_TRUE(s.Checked("Locked", false));
    EXPECT_EQ(changed, (std::vector<int>{0, 1, 2}));
    ASSERT_TRUE(RunDialog(&s));
    EXPECT_EQ(s.Choice("Type:", -1), 2) << "a choice by index";
    EXPECT_FALSE(RunDialog(&s));
    EXPECT_FALSE(RunDialog(&s)) << "no answer left: Cancel";
}

TEST(ScriptedAnswers, AFieldThatDoesNotFitCancelsTheDialog) {
    ReplayScope r("answer field Colour = red\nanswer ok\nanswer field Type: = Tree\nanswer ok\n");
    PropertySheet s = SpawnLikeSheet();
    EXPECT_FALSE(RunDialog(&s));
    EXPECT_FALSE(RunDialog(&s));
    EXPECT_EQ(s.Choice("Type:", -1), 0);
}

TEST(ScriptedAnswers, SheetFieldErrors) {
    PropertySheet s = SpawnLikeSheet();
    std::string error;
    EXPECT_FALSE(SetSheetField(&s, "Colour", "1", &error));
    EXPECT_EQ(error, "dialog 'Spawn Dialog' has no field 'Colour'");
    EXPECT_FALSE(SetSheetField(&s, "Locked", "maybe", &error));
    EXPECT_EQ(error, "field 'Locked' is a check box: 'maybe' is not 1 or 0");
    EXPECT_FALSE(SetSheetField(&s, "Type:", "3", &error));
    EXPECT_EQ(error, "field 'Type:' has no item '3'");
    EXPECT_FALSE(SetSheetField(&s, "Id:", "8", &error));
    EXPECT_EQ(error, "field 'Id:' cannot be set");
    EXPECT_EQ(s.Text("Id:"), "7");
    EXPECT_TRUE(SetSheetField(&s, "Locked", "on", &error));
    EXPECT_TRUE(s.Checked("Locked", false));
}

TEST(ScriptedAnswers, FileDialogsKeepTheirOwnBuffers) {
    ReplayScope r("answer file area\\a.z1a\nanswer file area\\b.z1a\nanswer cancel\n");
    const char* open = OpenFileDialog("Load Zendar 1 area file", "ZdA Files", "z1a");
    const char* save = SaveFileDialog("Save Zendar 1 area file", "ZdA Files", "z1a");
    ASSERT_NE(open, nullptr);
    ASSERT_NE(save, nullptr);
    EXPECT_NE(open, save);
    EXPECT_STREQ(open, "area\\a.z1a");
    EXPECT_STREQ(save, "area\\b.z1a");
    EXPECT_EQ(OpenFileDialog("Load Z1 Model", "Z1 Files", "z1"), nullptr);
    EXPECT_STREQ(save, "area\\b.z1a");
}

TEST(ScriptedAnswers, WithoutReplayThePlatformAnswers) {
    {
        DialogsScope d;
        EXPECT_TRUE(YesNoBox("Warning!", "Are you sure you wish to delete the selected entity?"));
        d.fake.yes = false;
        EXPECT_FALSE(YesNoBox("Warning!", "?"));
        ErrorBox("Error", "Cannot create an inputdriver");
        PropertySheet s = SpawnLikeSheet();
        s.fields[0].kind = PropertySheet::FIELD_TEXT;
        EXPECT_TRUE(RunDialog(&s));
        EXPECT_EQ(s.fields[0].text, "typed");
        EXPECT_STREQ(OpenFileDialog("Load Z1 Model", "Z1 Files", "z1"), "in.z1a");
        EXPECT_STREQ(SaveFileDialog("Save Zendar 1 area file", "ZdA Files", "z1a"), "out.z1a");
        EXPECT_EQ(d.fake.log,
                  "yesno Warning!\nyesno Warning!\nerror Error: Cannot create an inputdriver\n"
                  "dialog Spawn Dialog\nopen Load Z1 Model Z1 Files z1\n"
                  "save Save Zendar 1 area file ZdA Files z1a\n");
    }
    // No platform at all (tools): the defaults.
    EXPECT_FALSE(YesNoBox("Quit?", "?"));
    PropertySheet s = SpawnLikeSheet();
    EXPECT_FALSE(RunDialog(&s));
    EXPECT_EQ(OpenFileDialog("t", "d", "e"), nullptr);
}

}  // namespace
