// The game's import table: a conversation compiled from text runs through
// the dialog manager into text boxes on screen and changes the game object;
// a compiled script's game calls reach it; the world's door keys, messages
// and the pointer mode go through it.
#include "game/importtable.h"

#include <unistd.h>

#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "dialog/dialoglanguage.h"
#include "dialog/dialogmanager.h"
#include "gui/gui_helpers.h"
#include "gui/interfaceimage.h"
#include "imports/gameimports.h"
#include "player/conversationview.h"
#include "player/game.h"
#include "utility/clock.h"
#include "z1script/scriptasm.h"
#include "z1script/scriptsystem.h"

using guitest::LetterFontText;
using guitest::LogCapture;
using guitest::Strips;
using guitest::TempFile;

namespace {

class ImportTableTest : public ::testing::Test {
protected:
    ImportTableTest()
        : driver(640, 480),
          scope(&driver),
          fontFile("font.ini", LetterFontText()),
          font(fontFile.path().c_str()) {
        g_game = &game;
        g_font = &font;
        InstallGameImports();
        UseFixedClock(100, 0);
    }
    ~ImportTableTest() override {
        SetGameImports(nullptr);
        g_game = nullptr;
        g_font = nullptr;
        UseRealTimeClock();
        ResetMouseModes();
        ClearInterfaceImages();
    }
    LogCapture log;
    RecordingDriver driver;
    ScopedDriver scope;
    TempFile fontFile;
    Font font;
    Game game{nullptr};
};

std::vector<std::string> EntryTexts(const TextBox& box) {
    std::vector<std::string> out;
    for (int i = 0; i < box.entryCount; ++i) {
        std::string text;
        for (const String& line : box.entries[i].lines) text += line.c_str();
        out.push_back(std::string(box.entries[i].skin.c_str()) + ":" + text +
                      (box.entries[i].selectable ? " [answer]" : ""));
    }
    return out;
}

// The game frame's part: feed the mouse, and when a line was clicked, drop
// the view, answer and ask for the next one.
DialogTextBox* ClickThrough(DialogTextBox* view, int x, int y) {
    TextBox* box = ConversationTextBox(view);
    EXPECT_NE(box, nullptr);
    if (!box) return nullptr;
    box->Hover(x, y);
    box->Click(x, y);
    int chosen = box->Chosen();
    if (chosen == -1) return view;
    delete view;
    DialogManager::Answer(chosen);
    return DialogManager::NextTextBox();
}

TEST_F(ImportTableTest, AConversationShowsInTextBoxesAndChangesTheGame) {
    const char* source =
        "npc Innkeeper\n"
        "npc Player\n"
        "state start {\n"
        "    setquest \"met_innkeeper\"\n"
        "    additem \"gatekey\"\n"
        "    player \"Hello there.\"\n"
        "    query {\n"
        "        option \"Any news?\" { npc Innkeeper to Player \"The miller lost his cart again.\" }\n"
        "        option \"Goodbye.\" { suspend }\n"
        "    }\n"
        "    removeitem \"gatekey\"\n"
        "    suspend\n"
        "}\n";
    std::vector<unsigned char> bytes;
    DialogCompileError error;
    ASSERT_TRUE(CompileDialogSource(source, &bytes, &error)) << error.line << ": " << error.message;
    std::string name = guitest::TempPath("innkeeper");
    {
        FILE* f = std::fopen((name + ".dlg").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    DialogManager::Initialise();
    DialogBinding binding(name.c_str(), nullptr);
    ASSERT_TRUE(DialogManager::Bind(&binding));
    // The character's click: pointer mode, then the conversation.
    g_imports->SetPointerMode();
    EXPECT_EQ(GetMouseMode(), MOUSE_POINTER);
    DialogManager::SetActive(&binding);

    DialogTextBox* view = DialogManager::NextTextBox();
    ASSERT_NE(view, nullptr);
    TextBox* box = ConversationTextBox(view);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->x, 50);
    EXPECT_EQ(box->y, 50);
    EXPECT_EQ(EntryTexts(*box), (std::vector<std::string>{"yellow:You:", "white:Hello there."}));
    // The commands before the line went to the game object.
    EXPECT_TRUE(game.QuestFlagDefined("met_innkeeper"));
    EXPECT_TRUE(game.HasItem("gatekey"));
    EXPECT_STREQ(game.CurrentMessage().c_str(), "Your quest log has been updated..");
    // The conditions ask the game object too.
    EXPECT_TRUE(GetEnvironmentProxy()->questFlagDefined(String("met_innkeeper")));
    EXPECT_TRUE(GetEnvironmentProxy()->hasItem(5, String("gatekey")));
    EXPECT_FALSE(GetEnvironmentProxy()->hasItem(1, String("apple")));

    // Drawn: background, frame, then the glyphs of both lines.
    driver.ResetLog();
    box->Draw();
    EXPECT_EQ(driver.CountCalls("DrawIndexedList(TLVERTEX,16,48)"), 1);
    EXPECT_EQ(Strips(driver).size(), 1u + 3 + 11);  // ':' has no glyph, '.' has

    // No answers: a click outside waits, one inside goes on.
    view = ClickThrough(view, 5, 5);
    EXPECT_EQ(ConversationTextBox(view), box);
    view = ClickThrough(view, 60, 55);
    ASSERT_NE(view, nullptr);
    box = ConversationTextBox(view);
    EXPECT_EQ(EntryTexts(*box),
              (std::vector<std::string>{"yellow:* Any news? [answer]", "yellow:* Goodbye. [answer]"}));
    box->Hover(60, 50 + 18);
    EXPECT_EQ(box->Highlighted(), 1);

    view = ClickThrough(view, 60, 50 + 6);  // "* Any news?"
    ASSERT_NE(view, nullptr);
    box = ConversationTextBox(view);
    ASSERT_EQ(box->entryCount, 2);
    EXPECT_NE(EntryTexts(*box)[0].find(" to "), std::string::npos) << EntryTexts(*box)[0];
    EXPECT_EQ(EntryTexts(*box)[1], "white:The miller lost his cart again.");

    // The rest of the state: the item goes, the conversation suspends.
    view = ClickThrough(view, 60, 55);
    EXPECT_EQ(view, nullptr);
    EXPECT_FALSE(game.HasItem("gatekey"));
    DialogManager::SetActive(nullptr);
}

TEST_F(ImportTableTest, ViewsOfOtherKindsAreNoTextBoxes) {
    DialogTextBox* view = g_imports->CreateConversationView(120, 80);
    TextBox* box = ConversationTextBox(view);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->font, &font);
    EXPECT_EQ(box->x, 120);
    view->AddLine("yellow", "* Yes", 1);
    EXPECT_TRUE(box->hasChoices);
    delete view;
    DialogTextLines lines;
    EXPECT_EQ(ConversationTextBox(&lines), nullptr);
    EXPECT_EQ(ConversationTextBox(nullptr), nullptr);
}

TEST_F(ImportTableTest, TheWorldAsksTheGameObject) {
    EXPECT_FALSE(g_imports->HasItem("gatekey"));
    game.AddItem("gatekey");
    EXPECT_TRUE(g_imports->HasItem("gatekey"));
    g_imports->ShowMessage("You unlock the door.", 4.0f);
    EXPECT_STREQ(game.CurrentMessage().c_str(), "You unlock the door.");
    EXPECT_FLOAT_EQ(game.messageDuration, 4.0f);

    // Without a game object the null table's answers stand in.
    g_game = nullptr;
    EXPECT_FALSE(g_imports->HasItem("gatekey"));
    EXPECT_TRUE(log.Has("game not linked - item 'gatekey' taken as not held"));
    EXPECT_FALSE(g_imports->QuestFlagDefined("x"));
    g_game = &game;
}

TEST_F(ImportTableTest, TheConversationCameraIsAppliedToTheDriver) {
    log.settings().fovRadians = 1.2f;
    log.settings().back_plane = 9000;
    float eye[3] = {0, 190, -120};
    float target[3] = {-60, 190, 0};
    g_imports->PlaceConversationCamera(eye, target);
    PlayerCamera* camera = ConversationCamera();
    ASSERT_NE(camera, nullptr);
    EXPECT_FLOAT_EQ(driver.fov, 1.2f);
    EXPECT_FLOAT_EQ(driver.far_plane, 9000.0f);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(driver.view.m[i], camera->view.m[i]) << i;
    EXPECT_EQ(driver.CountCalls("SetViewMatrix()"), 1);
}

TEST_F(ImportTableTest, ACompiledScriptsGameCallsReachTheGameObject) {
    const char* source =
        "program start locals=0 trigger=init\n"
        "  const key text \"gatekey\"\n"
        "  const five int 5\n"
        "  const msg text \"The gate creaks.\"\n"
        "  const one int 1\n"
        "  const secs int 4\n"
        "  pushc key\n"
        "  pushc five\n"
        "  push0\n"
        "  game\n"
        "  pushc msg\n"
        "  pushc one\n"
        "  pushc secs\n"
        "  game\n"
        "end\n";
    std::vector<ScriptRecord> records;
    std::string error;
    ASSERT_TRUE(AssembleScript(source, &records, &error)) << error;
    std::string path = guitest::TempPath("game.scr");
    ASSERT_TRUE(WriteScriptFile(path.c_str(), records, &error)) << error;
    LoadScriptFile(String(path.c_str()));
    for (int pass = 0; pass < 5; ++pass) RunScriptScheduler();
    EXPECT_TRUE(game.HasItem("gatekey"));
    EXPECT_STREQ(game.CurrentMessage().c_str(), "The gate creaks.");
    EXPECT_FLOAT_EQ(game.messageDuration, 4.0f);
    std::remove(path.c_str());
}

}  // namespace
