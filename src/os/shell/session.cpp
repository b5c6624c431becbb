#include "os/shell/session.h"

#include <cstdio>

#include "camera/keybindings.h"
#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "editor/editor.h"
#include "game/importtable.h"
#include "game/screens.h"
#include "gfxdriver/gfxdriver.h"
#include "gui/font.h"
#include "gui/interfaceimage.h"
#include "input/inputdriver.h"
#include "os/dialogs.h"
#include "os/platform.h"
#include "os/replay.h"
#include "player/game.h"
#include "settings/settings.h"
#include "utility/clock.h"
#include "utility/jf.h"
#include "utility/log.h"
#include "world/area.h"
#include "world/world.h"

const char kWindowTitle[] = "Zendar1 - Showcase 2";

namespace {
// Owned by the program, handed to the frame functions and the game object.
PlayerCamera* g_playerCamera = nullptr;

bool EditorModeSet() { return g_settings && g_settings->editor; }
}  // namespace

int ReadCommandLine(int argc, char** argv, void (*tell)(const std::string& text), HarnessOptions* options) {
    std::string info;
    if (HarnessInfoRequested(argc, argv, &info)) {
        tell(info);
        return 0;
    }
    std::string error;
    if (!ParseHarnessOptions(argc, argv, options, &error)) {
        std::fprintf(stderr, "zendar1: %s\n%s\n", error.c_str(), HarnessUsage());
        return 2;
    }
    static Replay replay;
    if (!options->replay.empty()) {
        if (!replay.Load(options->replay.c_str(), &error)) {
            std::fprintf(stderr, "zendar1: %s\n", error.c_str());
            return 2;
        }
        g_replay = &replay;
    }
    return -1;
}

void StartEngine(const Settings& settings) {
    g_playerCamera = new PlayerCamera(settings.fovRadians, settings.back_plane);
    g_game = new Game(g_playerCamera);
    InstallGameImports();
    g_font = new Font("font_herald.ini");
    g_font->SelectSkin("white");
    g_font->SetSize(12);
    static World world;
    world.Initialise();
    // The area lives as long as the world; the scripts load into it.
    static Area* area = new Area();
    world.area = area;
    if (g_gfxdriver) g_gfxdriver->SetFogging(settings.fog != 0);
    RegisterInterfaceImage("cursor", "textures\\interface\\pointer01.bmp",
                           "textures\\interface\\pointer01a.bmp", 315, 235, 10, 10, true);
    RegisterInterfaceImage("crosshair", "textures\\interface\\crosshair.bmp",
                           "textures\\interface\\crosshair_alpha.bmp", 315, 235, 10, 10, true);
}

int SwitchMode(int entered) {
    if (!g_settings) return entered;
    if (!g_settings->editor && entered == 1 && !EditorLeaveForGame()) {
        g_settings->editor = 1;
        return 1;
    }
    const bool editor = g_settings->editor != 0;
    // Both modes enter the same way, with their own key table.
    HideAllInterfaceImages();
    SetInterfaceImageShown("cursor", false);
    SetInterfaceImageShown("crosshair", true);
    if (!InstallKeyBindings(g_inputdriver, editor)) LogLine("ERROR - could not initialize input devices");
    SetMouseMode(MOUSE_LOOK);
    return editor ? 1 : 0;
}

Settings& StartLogArchiveAndSettings() {
    g_log = new Log("demo2.txt");
    JfInitialize("textures.jf");
    static Settings settings;
    g_settings = &settings;
    settings.Parse("z1.ini");
    if (HarnessStartsInEditor()) settings.editor = 1;
    return settings;
}

ClockSource* ShellClock() {
    struct RealClock : ClockSource {
        float Seconds() override { return ShellSeconds(); }
        uint32_t Milliseconds() override { return ShellMilliseconds(); }
    };
    static RealClock clock;
    return &clock;
}

void ReportMissedScreenshots() {
    for (const ScreenshotRequest& r : HarnessMissedScreenshots())
        std::fprintf(stderr, "zendar1: frame %d was not reached: no screenshot '%s'\n", r.frame,
                     r.file.c_str());
}

void RunModeFrame(int entered) {
    if (entered) {
        EditorFrame(g_playerCamera);
        EditorOverlay(g_playerCamera, EditorSelectionLine());
    } else {
        GameFrame(g_playerCamera);
        Overlay(g_playerCamera);
    }
}

bool QuitConfirmed() {
    if (!g_settings || !g_settings->confirmQuit) return true;
    if (g_gfxdriver) g_gfxdriver->Pause(true);
    const bool yes = YesNoBox("Quit?", "Are you sure you want to Quit?");
    if (g_gfxdriver) g_gfxdriver->Pause(false);
    return yes;
}

void CreditsIfPlaying(void (*pump)()) {
    if (!EditorModeSet()) Credits(pump);
}

void AcquireInput() {
    if (!g_inputdriver) return;
    g_inputdriver->AcquireKeyboard();
    g_inputdriver->AcquireMouse();
}

void UnacquireInput() {
    if (!g_inputdriver) return;
    g_inputdriver->UnacquireKeyboard();
    g_inputdriver->UnacquireMouse();
}

void RunEditorCommand(EditorCommand command) {
    if (!EditorModeSet()) return;
    switch (command) {
    case EditorCommand::OpenArea: EditorOpenAreaCommand(); break;
    case EditorCommand::SaveArea: EditorSaveAreaCommand(); break;
    case EditorCommand::Undo: EditorUndoCommand(); break;
    case EditorCommand::Redo: EditorRedoCommand(); break;
    }
}

std::string WindowTitle(int entered) {
    std::string title = kWindowTitle;
    if (entered) title += " - " + EditorTitleText();
    return title;
}
