// Index of this file:
// [SECTION] Helpers of the game frame
// [SECTION] The player's state in the log
// [SECTION] Frame clock and intro
// [SECTION] The game frame
// [SECTION] Drawing: the game's overlay and the editor's
// [SECTION] Credits
#include "game/screens.h"

#include <cstring>
#include <string>

#include "camera/keybindings.h"
#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "collision/rayquery.h"
#include "dialog/dialogmanager.h"
#include "editor/editor.h"
#include "entities/entity.h"
#include "os/harness.h"
#include "os/replay.h"
#include "gfxdriver/gfxdriver.h"
#include "gfxdriver/opengldriver/screenshot.h"
#include "gui/font.h"
#include "gui/interfaceimage.h"
#include "gui/textbox.h"
#include "input/dikeys.h"
#include "input/inputdriver.h"
#include "player/game.h"
#include "player/conversationview.h"
#include "player/questlog.h"
#include "settings/settings.h"
#include "sounddriver/sounddriver.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/log.h"
#include "utility/zstring.h"
#include "world/area.h"
#include "world/world.h"
#include "z1script/scriptsystem.h"

void (*g_frameTimingObserver)(const FrameClock& clock) = nullptr;

// ---------------------------------------------------------------------------
// [SECTION] Helpers of the game frame
namespace {

const char* const kIntroMusic = "music\\intro.mp3";
const char* const kLoopMusic = "music\\loop.mp3";
constexpr float kCreditsSeconds = 45.0f;
const char* const kOutOfReachMessage = "That is too far away.";
constexpr int kQuestLogX = 60;
constexpr int kQuestLogY = 60;
constexpr float kOutOfReachSeconds = 2.0f;

std::string GamePath(const char* file) { return std::string(GetBasePath()) + file; }

void ShowImage(const char* name, bool shown) { SetInterfaceImageShown(name, shown); }

// The loading pictures (shown by the scene load) and the two pointers.
void RegisterIntroImages() {
    RegisterInterfaceImage("load1", "textures\\interface\\loading\\loading01.bmp", nullptr, 128, 176, 128,
                           128, false);
    RegisterInterfaceImage("load2", "textures\\interface\\loading\\loading02.bmp", nullptr, 256, 176, 128,
                           128, false);
    RegisterInterfaceImage("load3", "textures\\interface\\loading\\loading03.bmp", nullptr, 384, 176, 128,
                           128, false);
    RegisterInterfaceImage("cursor", "textures\\interface\\pointer01.bmp",
                           "textures\\interface\\pointer01a.bmp", 315, 235, 10, 10, true);
    RegisterInterfaceImage("crosshair", "textures\\interface\\crosshair.bmp",
                           "textures\\interface\\crosshair_alpha.bmp", 315, 235, 10, 10, true);
}

void BackToLookMode() {
    SetMouseMode(MOUSE_LOOK);
    ShowImage("cursor", false);
    ShowImage("crosshair", true);
}

void DropConversationView() {
    delete g_frameClock.conversationView;
    g_frameClock.conversationView = nullptr;
}

// The quest-log screen (J): drawn over the walk until J closes it, made
// again whenever the quest log or the inventory changed.
struct QuestLogScreen {
    bool open = false;
    TextBox* box = nullptr;
    int quests = -1;
    int items = -1;
};
QuestLogScreen g_questLog;

void DropQuestLogBox() {
    delete g_questLog.box;
    g_questLog.box = nullptr;
}

void ToggleQuestLog() {
    g_questLog.open = !g_questLog.open;
    if (!g_questLog.open) DropQuestLogBox();
    LogLine(g_questLog.open ? "MESSAGE - quest log opened" : "MESSAGE - quest log closed");
}

TextBox* QuestLogBox() {
    if (!g_questLog.open || !g_game) return nullptr;
    const int quests = g_game->QuestLog().Size(), items = g_game->Inventory().Size();
    if (!g_questLog.box || quests != g_questLog.quests || items != g_questLog.items) {
        DropQuestLogBox();
        g_questLog.box = MakeQuestLogBox(*g_game, kQuestLogX, kQuestLogY);
        g_questLog.quests = quests;
        g_questLog.items = items;
    }
    return g_questLog.box;
}

// The keyboard's part in a conversation: a number picks that answer; Enter,
// keypad Enter and Space go on.
void AnswerByKeys(TextBox* box) {
    for (int n = 1; n <= 9; ++n)
        if (TakeKeyPress(DIK_1 + n - 1)) box->ChooseAnswer(n);
    // Every one of the three presses is taken, so none is left for later.
    const bool enter = TakeKeyPress(DIK_RETURN);
    const bool keypadEnter = TakeKeyPress(DIK_NUMPADENTER);
    const bool space = TakeKeyPress(DIK_SPACE);
    if (enter || keypadEnter || space) box->GoOn();
}

// Pointer mode: the conversation on screen takes the pointer and the keys;
// an answered view gives way to the conversation's next one, and when there
// is none the player walks again.
void ConversationStep(PlayerCamera* camera) {
    ShowImage("crosshair", false);
    ShowImage("cursor", true);
    double mx = 0.0, my = 0.0;
    if (g_inputdriver) {
        g_inputdriver->UpdateMouse(nullptr);
        // Walking keys let go during the talk are seen let go.
        g_inputdriver->UpdateKeyboard(camera ? static_cast<void*>(camera->movement) : nullptr);
        g_inputdriver->GetMousePosition(&mx, &my, nullptr);
    }
    const int x = static_cast<int>(mx);
    const int y = static_cast<int>(my);
    PlaceInterfaceImage(FindInterfaceImage("cursor"), x, y);

    DialogTextBox*& view = g_frameClock.conversationView;
    if (view) {
        TextBox* box = ConversationTextBox(view);
        int chosen = 0;  // a view that cannot be shown counts as answered with its first line
        if (box) {
            box->Hover(x, y);
            if (g_inputdriver && g_inputdriver->WasMouseButtonPressed(0)) box->Click(x, y);
            AnswerByKeys(box);
            ClearKeyPresses();
            if (box->Chosen() == -1) return;
            chosen = box->Chosen();
        }
        DropConversationView();
        DialogManager::Answer(chosen);
    }
    view = DialogManager::NextTextBox();
    if (!view) BackToLookMode();
}

// Look mode: movement at most 35 times a second, then the click.
void WalkStep(PlayerCamera* camera, float now) {
    float dt = 0.0f;
    if (camera && g_frameClock.playerStep.Due(now, &dt)) camera->Update(dt);
    if (TakeKeyPress(kQuestLogKey)) ToggleQuestLog();
    // Presses meant for a conversation mean nothing to a walk.
    ClearKeyPresses();
    if (g_inputdriver && g_inputdriver->WasMouseButtonPressed(0)) ActOnCrosshair(camera);
}

// ---------------------------------------------------------------------------
// [SECTION] The player's state in the log
// The player's state as the log shows it: every change of the quest log,
// the inventory and the on-screen message, once, when a frame sees it.
struct GameStateTrace {
    int quests = 0;
    int items = 0;
    String inventory;
    String message;
};
GameStateTrace g_trace;

String JoinedInventory() {
    std::string joined;
    for (int i = 0; i < g_game->Inventory().Size(); ++i) {
        if (i) joined += ", ";
        joined += g_game->Inventory()[i].c_str();
    }
    return String(joined.c_str());
}

void TraceGameState() {
    if (!g_game) return;
    const List<String>& quests = g_game->QuestLog();
    for (int i = g_trace.quests; i < quests.Size(); ++i)
        LogLine("GAME - quest flag '%s' set", quests[i].c_str());
    g_trace.quests = quests.Size();
    String inventory = JoinedInventory();
    if (g_game->Inventory().Size() != g_trace.items ||
        strcmp(inventory.c_str(), g_trace.inventory.c_str()) != 0) {
        LogLine("GAME - inventory (%d): %s", g_game->Inventory().Size(), inventory.c_str());
        g_trace.items = g_game->Inventory().Size();
        g_trace.inventory = inventory;
    }
    if (strcmp(g_game->messageText.c_str(), g_trace.message.c_str()) != 0) {
        if (g_game->messageText.c_str()[0]) LogLine("GAME - message '%s'", g_game->messageText.c_str());
        g_trace.message = g_game->messageText;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Frame clock and intro
void ResetFrameClock() {
    DropConversationView();
    DropQuestLogBox();
    g_questLog = QuestLogScreen();
    ClearKeyPresses();
    g_frameClock = FrameClock();
}

void Intro() {
    if (g_sounddriver) g_sounddriver->Play(GamePath(kIntroMusic).c_str(), false);
    RegisterIntroImages();
    const float now = ClockSeconds();
    g_frameClock.lastFrameTime = now;
    // A long intro is not one huge first step.
    g_frameClock.playerStep.Reset(now);
    if (g_settings && g_settings->script.Length() > 0) {
        LogLine("Loading script '%s'", g_settings->script.c_str());
        LoadScriptFile(g_settings->script);
    }
    DialogManager::Initialise();
}

// ---------------------------------------------------------------------------
// [SECTION] The game frame
const char* ActOnCrosshair(PlayerCamera* camera) {
    Area* area = g_world ? g_world->GetArea() : g_area;
    if (!area || !camera) return nullptr;
    // The pick goes through the driver's view: it must be this frame's.
    if (g_gfxdriver) g_gfxdriver->SetViewMatrix(&camera->view);
    RayQuery* query = area->SelectEntity(camera->position, kGamePickDistance);
    if (!query) return nullptr;
    Entity* hit = query->hitEntity;
    delete query;
    if (!hit) {
        // Something seen farther off says why nothing happens.
        RayQuery* sight = area->SelectEntity(camera->position, kEditorPickDistance);
        if (sight && sight->hitEntity && g_game) {
            LogLine("MESSAGE - '%s' is out of reach", sight->hitEntity->Name());
            g_game->ShowMessage(kOutOfReachMessage, kOutOfReachSeconds);
        }
        delete sight;
        return nullptr;
    }
    LogLine("MESSAGE - clicked '%s'", hit->Name());
    hit->Activate();
    FireScriptClick(hit->Name());
    return hit->Name();
}

void GameFrame(PlayerCamera* camera) {
    if (g_settings) g_settings->colliderCount = 0;
    FrameClock& c = g_frameClock;
    const float now = ClockSeconds();
    const float dt = now - c.lastFrameTime;
    c.frameCount += 1;
    c.rateTimeSum += dt;
    c.lastFrameTime = now;
    if (c.rateTimeSum > 1.0f) {
        c.framesPerSecond = static_cast<float>(c.frameCount) / c.rateTimeSum;
        c.frameCount = 0;
        c.rateTimeSum -= 1.0f;
        // Checked once a second: the loop follows the intro music.
        if (g_sounddriver && !g_sounddriver->IsPlaying()) {
            g_sounddriver->Stop();
            g_sounddriver->Play(GamePath(kLoopMusic).c_str(), true);
        }
    }

    RunScriptScheduler();

    const int mode = g_world ? g_world->mouseMode : GetMouseMode();
    if (mode == MOUSE_POINTER)
        ConversationStep(camera);
    else if (mode == MOUSE_LOOK)
        WalkStep(camera, now);

    if (g_world && g_gfxdriver && camera) {
        const int frames = g_gfxdriver->frames;
        const int every = g_settings ? g_settings->light_update : 0;
        // A zero or negative interval switches only on the first frame
        // rather than dividing by zero.
        if (frames == 1 || (every > 0 && frames % every == 0)) g_world->SwitchNightLights(camera->position);
    }
    Area* area = g_world ? g_world->GetArea() : g_area;
    if (area) area->UpdateParticles(dt);

    TraceGameState();
    c.gameFrameWorkTime = ClockSeconds() - now;
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing: the game's overlay and the editor's
void Overlay(PlayerCamera* camera) {
    const float t0 = ClockSeconds();
    GfxDriver* d = g_gfxdriver;
    if (d && d->BeginScene()) {
        const bool talking = g_world && g_world->mouseMode == MOUSE_POINTER && g_frameClock.conversationView;
        // While a conversation is on screen its camera frames the speaker.
        PlayerCamera* eye = talking ? ConversationCamera() : camera;
        if (eye) {
            d->SetProjection(eye->fieldOfView, eye->aspect, eye->nearPlane, eye->farPlane);
            d->SetViewMatrix(&eye->view);
        }
        const float before = ClockSeconds();
        if (g_world && eye)
            g_world->RenderWorld(eye->position, eye->direction, eye->frustum);
        else
            d->Clear(PackColor(255, 0, 0, 0));
        g_frameClock.worldRenderTime = ClockSeconds() - before;

        if (talking) {
            if (TextBox* box = ConversationTextBox(g_frameClock.conversationView)) box->Draw();
        } else if (TextBox* log = QuestLogBox()) {
            log->Draw();
        }
        const bool images = g_settings && g_settings->show_interface;
        if (images) DrawInterface();
        if (g_game && images) g_game->DrawInventory();
        if (g_game && g_font && g_settings && g_settings->showDebugText) {
            g_font->SelectSkin("white");
            g_font->DrawText(25, 5, "%s", g_game->CurrentMessage().c_str());
        }
        d->EndScene();
        d->ShowFrame();
    }
    g_frameClock.drawTime = ClockSeconds() - t0;
    if (g_frameTimingObserver) g_frameTimingObserver(g_frameClock);
}

void EditorOverlay(PlayerCamera* camera, const char* selection) {
    const float t0 = ClockSeconds();
    GfxDriver* d = g_gfxdriver;
    if (!d || !d->BeginScene()) return;
    if (camera) {
        d->SetProjection(camera->fieldOfView, camera->aspect, camera->nearPlane, camera->farPlane);
        d->SetViewMatrix(&camera->view);
    }
    const float before = ClockSeconds();
    if (g_world && camera)
        g_world->RenderWorld(camera->position, camera->direction, camera->frustum);
    else
        d->Clear(PackColor(255, 0, 0, 0));
    g_frameClock.worldRenderTime = ClockSeconds() - before;
    EditorDrawSelection();
    if (g_settings && g_settings->show_interface) DrawInterface();
    if (g_font) {
        g_font->SelectSkin("white");
        // What is selected and the main keys, always: a modder new to the
        // editor finds the keys here.
        if (selection && *selection) g_font->DrawText(5, 439, "Selected: %s", selection);
        g_font->DrawText(5, 454, "%s", EditorHintLine());
    }
    if (g_settings && g_settings->showDebugText && g_font) {
        g_font->SelectSkin("white");
        g_font->DrawText(5, 5, "FPS: %.1f", EditorFramesPerSecond());
        g_font->DrawText(5, 18, "Vertices: %i   Faces: %i", d->vertices, d->faces);
        g_font->DrawText(5, 31, "%s", selection ? selection : "");
        g_font->DrawText(5, 44, "Speed: %.0f", g_settings->movementSpeed);
        g_font->DrawText(5, 57, "%s",
                         g_settings->showHelperObjects ? "Helper objects: ON" : "Helper objects: OFF");
        if (g_settings->collisionOn)
            g_font->DrawText(5, 70, "Collision: ON - colliders: %i", g_settings->colliderCount);
        else
            g_font->DrawText(5, 70, "Collision: OFF");
        if (g_world) g_world->DrawClock(560.0f, 5.0f);
    }
    d->EndScene();
    d->ShowFrame();
    g_frameClock.drawTime = ClockSeconds() - t0;
    if (g_frameTimingObserver) g_frameTimingObserver(g_frameClock);
}

// ---------------------------------------------------------------------------
// [SECTION] Credits
// The game's own names and thanks.

namespace {

struct CreditLine {
    const char* name;
    const char* contribution;
    const char* more;  // a second line of the contribution, or null
};

struct CreditRole {
    const char* heading;
    int y;
    const CreditLine* lines;
    int count;
};

const CreditLine kProgrammers[] = {
    {"Zendar team", "engine core, files, math and the log", nullptr},
    {"Zendar team", "drivers, models, world and sky", nullptr},
    {"Zendar team", "conversations, scripts, input, screens", nullptr},
};
const CreditLine kArtists[] = {
    {"Zendar team", "textures drawn by code", nullptr},
    {"Zendar team", "the font, baked from DejaVu Sans", nullptr},
    {"Zendar team", "houses, lamps and people", "built with our own model tools"},
};
const CreditLine kSound[] = {
    {"Zendar team", "music synthesised at build time", nullptr},
};
const CreditLine kWriters[] = {
    {"Zendar team", "the village and its people", nullptr},
};
const CreditLine kScripters[] = {
    {"Zendar team", "the quest, the doors and the gate", nullptr},
    {"Zendar team", "the day cycle and the weather", nullptr},
};

const CreditRole kRoles[] = {
    {"Programmers:", 80, kProgrammers, 3}, {"Artists:", 150, kArtists, 3},     {"Sound:", 239, kSound, 1},
    {"Writers:", 280, kWriters, 1},        {"Scripters:", 321, kScripters, 2},
};

const char* const kThanks[] = {
    "Thanks to everyone who walked the village of Zendar,",
    "to the free software this game is built with:",
    "SDL, Mesa, Dear ImGui, LAME, FreeType, Assimp and GoogleTest,",
    "and to you for playing all the way to the end.",
    "Press Esc or click to leave.",
};
const int kThanksY[] = {377, 390, 403, 423, 436};

}  // namespace

void DrawCreditsPage() {
    if (!g_font) return;
    Font* f = g_font;
    f->SelectSkin("white");
    f->DrawPlain(300, 50, "Credits:");
    for (const CreditRole& role : kRoles) {
        f->SelectSkin("white");
        f->DrawPlain(40, role.y, role.heading);
        for (int i = 0; i < role.count; ++i) {
            const int y = role.y + 16 + 16 * i;
            f->SelectSkin("yellow");
            f->DrawPlain(55, y, role.lines[i].name);
            f->SelectSkin("white");
            f->DrawPlain(240, y, role.lines[i].contribution);
            if (role.lines[i].more) f->DrawPlain(240, y + 13, role.lines[i].more);
        }
    }
    f->SelectSkin("white");
    for (int i = 0; i < 5; ++i) f->DrawPlain(40, kThanksY[i], kThanks[i]);
}

namespace {

bool DrawCreditsFrame(bool screenshots) {
    GfxDriver* d = g_gfxdriver;
    if (!d || !d->BeginScene()) return false;
    d->Clear(PackColor(255, 0, 0, 0));
    DrawCreditsPage();
    d->EndScene();
    if (screenshots)
        for (const std::string& file : HarnessScreenshotsDue())
            if (!SaveScreenshot(file.c_str(), d->width, d->height, false))
                LogLine("ERROR - could not write screenshot '%s'", file.c_str());
    d->ShowFrame();
    return true;
}

}  // namespace

void Credits(void (*pumpInput)()) {
    if (g_gfxdriver) g_gfxdriver->EndScene();
    const bool harness = HarnessDrivesFrames();
    DrawCreditsFrame(harness);
    InputDriver* input = g_inputdriver;
    if (pumpInput) pumpInput();
    if (input) {
        input->UpdateKeyboard(nullptr);
        input->ReleaseKey(DIK_ESCAPE);
    }
    const float t0 = ClockSeconds();
    for (;;) {
        if (harness) {
            // Every poll is a frame of the run: its clock steps on and its
            // replay events come due; the page is drawn again for its screenshots.
            if (HarnessEndFrame()) break;
            DrawCreditsFrame(true);
        }
        if (pumpInput) pumpInput();
        if (!input) {
            if (ClockSeconds() - t0 > kCreditsSeconds || g_replay) break;
            continue;
        }
        input->UpdateMouse(nullptr);
        input->UpdateKeyboard(nullptr);
        if (input->IsKeyDown(DIK_ESCAPE)) break;
        if (input->WasMouseButtonPressed(0)) break;
        if (ClockSeconds() - t0 > kCreditsSeconds) break;
        // Under a replay the replay is the only device: with no event left
        // in it nobody can press anything, and like every box of a replayed
        // run the page does not wait for a person.
        if (g_replay && !g_replay->HasInputEvents()) break;
    }
    LogLine("MESSAGE - credits end");
}
