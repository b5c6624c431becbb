#include "os/sdl/services.h"

#include "camera/keybindings.h"
#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "gui/font.h"
#include "player/game.h"
#include "game/importtable.h"
#include "sounddriver/sdl/sdlsoundlibrary.h"
#include "os/harness.h"
#include "os/replay.h"
#include "game/screens.h"
#include "editor/editor.h"
#include "gui/interfaceimage.h"
#include "os/sdl/shell.h"
#include "world/area.h"
#include "world/world.h"
#include "gfxdriver/gfxdriver.h"
#include "input/inputdriver.h"
#include "inputdriver/sdl/sdlinputdriver.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace {

// The driver the shell's input sink feeds.
SdlInputDriver* s_sdl_input = nullptr;

void SdlInputSink(const SDL_Event& event) {
    if (s_sdl_input && g_inputdriver == s_sdl_input) s_sdl_input->HandleEvent(event);
}

}  // namespace

bool CreateInputDriver(SDL_Window* window) {
    // A replay stands in for the devices below the driver.
    static ReplayInputFeed feed(g_replay);
    bool ok = false;
    SdlInputDriver* driver = new SdlInputDriver(&ok, window, g_replay ? &feed : nullptr);
    if (!ok) {
        delete driver;
        return false;
    }
    s_sdl_input = driver;
    g_inputdriver = driver;
    SetShellInputSink(SdlInputSink);
    return true;
}

void CreateSoundDriver() { g_sounddriver = CreateSdlSoundDriver(); }

// Owned by the entry point, handed to the frame functions and the game object.
static PlayerCamera* s_player_camera = nullptr;

void CreatePlayerCamera(int back_plane, float fov_radians) {
    s_player_camera = new PlayerCamera(fov_radians, back_plane);
}

void CreateGame() {
    g_game = new Game(s_player_camera);
    InstallGameImports();
}

void CreateFont() {
    g_font = new Font("font_herald.ini");
    g_font->SelectSkin("white");
    g_font->SetSize(12);
}

void InitWorld() {
    static World world;
    world.Initialise();
    // The area lives as long as the world; the scripts load into it.
    static Area* area = new Area();
    world.area = area;
}

void RegisterStartupImages() {
    RegisterInterfaceImage("cursor", "textures\\interface\\pointer01.bmp",
                           "textures\\interface\\pointer01a.bmp", 315, 235, 10, 10, true);
    RegisterInterfaceImage("crosshair", "textures\\interface\\crosshair.bmp",
                           "textures\\interface\\crosshair_alpha.bmp", 315, 235, 10, 10, true);
}

void RunIntro() { Intro(); }

void ShowModeImages() {
    HideAllInterfaceImages();
    SetInterfaceImageShown("cursor", false);
    SetInterfaceImageShown("crosshair", true);
}

bool InstallKeyTable(bool editor) { return InstallKeyBindings(g_inputdriver, editor); }

void SetLookMode() { SetMouseMode(MOUSE_LOOK); }

void RunGameFrame() {
    GameFrame(s_player_camera);
    Overlay(s_player_camera);
}

void RunEditorFrame() {
    EditorFrame(s_player_camera);
    EditorOverlay(s_player_camera, EditorSelectionLine());
}

void RunCredits() { Credits(ShellPumpInput); }

void EditorOpenArea() { EditorOpenAreaCommand(); }

void EditorSaveArea() { EditorSaveAreaCommand(); }

void EditorUndo() { EditorUndoCommand(); }

void EditorRedo() { EditorRedoCommand(); }

bool EditorMayQuit() { return EditorReadyToQuit(); }

bool EditorMayPlay() { return EditorLeaveForGame(); }

std::string EditorTitle() { return EditorTitleText(); }

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
