#include "os/sdl/services.h"

#include "camera/keybindings.h"
#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "gui/font.h"
#include "player/game.h"
#include "player/gamelinks.h"
#include "sounddriver/sdl/sdlsoundlibrary.h"
#include "game/replay.h"
#include "gfxdriver/gfxdriver.h"
#include "input/inputdriver.h"
#include "inputdriver/sdl/sdlinputdriver.h"
#include "settings/settings.h"
#include "utility/log.h"

// Each service below that is not part of the build yet says so once in the
// log; its issue replaces the line with the real creation or call.

namespace {

void NotBuilt(const char* what) { LogLine("Warning: %s not built in yet - skipped", what); }

// Stands in for the frame functions until they exist: the frame is cleared
// and presented, so the window, the clocks and the screenshots work.
void EmptyFrame(PackedColor colour) {
    if (!g_gfxdriver) return;
    if (g_gfxdriver->BeginScene()) {
        g_gfxdriver->Clear(colour);
        g_gfxdriver->EndScene();
        g_gfxdriver->ShowFrame();
    }
}

bool g_game_frame_noted = false;
bool g_editor_frame_noted = false;

}  // namespace

bool CreateInputDriver(SDL_Window* window) { return CreateSdlInputDriver(window, g_replay); }

void CreateSoundDriver() { g_sounddriver = CreateSdlSoundDriver(); }

// Owned by the entry point, handed to the frame functions and the game object.
static PlayerCamera* s_player_camera = nullptr;

void CreatePlayerCamera(int back_plane, float fov_radians) {
    s_player_camera = new PlayerCamera(fov_radians, back_plane);
}

void CreateGame() {
    g_game = new Game(s_player_camera);
    InstallGameLinks();
}

void CreateFont() {
    g_font = new Font("font_herald.ini");
    g_font->SelectSkin("white");
    g_font->SetSize(12);
}

void InitWorld() { NotBuilt("world"); }

void RegisterStartupImages() { NotBuilt("interface images"); }

void RunIntro() { NotBuilt("intro screens"); }

void ShowModeImages() {}

bool InstallKeyTable(bool editor) { return InstallKeyBindings(g_inputdriver, editor); }

void SetLookMode() { SetMouseMode(MOUSE_LOOK); }

void RunGameFrame() {
    if (!g_game_frame_noted) {
        g_game_frame_noted = true;
        LogLine("Warning: game frame not built in yet - drawing empty frames");
    }
    EmptyFrame(PackColor(255, 32, 48, 96));
}

void RunEditorFrame() {
    if (!g_editor_frame_noted) {
        g_editor_frame_noted = true;
        LogLine("Warning: editor frame not built in yet - drawing empty frames");
    }
    EmptyFrame(PackColor(255, 48, 48, 48));
}

void RunCredits() { NotBuilt("credits screen"); }

void EditorOpenArea() { NotBuilt("editor open command"); }

void EditorSaveArea() { NotBuilt("editor save command"); }

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
