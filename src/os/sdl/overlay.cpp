#include "os/sdl/overlay.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "imgui.h"
#include "imgui_impl_opengl2.h"
#include "imgui_impl_sdl.h"
#include "imgui_internal.h"  // the modal shade's fade

namespace {

SDL_Window* g_window = nullptr;
bool g_ready = false;

// The last finished frame, kept in a texture for the modal loops.
GLuint g_kept_texture = 0;
int g_kept_width = 0;
int g_kept_height = 0;
bool g_kept = false;
// Whether the back buffer still holds the presented frame after the swap, as
// with the software rasterisers, which copy it to the window. Then the frame
// is kept only when a modal loop starts; else every frame is kept as it is
// presented (a copy a graphics card makes at no cost, but one that takes the
// software rasteriser a full-screen pass).
bool g_back_survives_swap = false;
// The engine's image of the last frame presented (without the menu strip),
// and whether one was presented since the last copy: boxes that follow one
// another without a frame between them all show that frame, not the box
// before.
int g_frame_width = 0;
int g_frame_height = 0;
bool g_frame_new = false;
// Modal loops running (a box may open inside a dialog).
int g_loop_depth = 0;

// The File menu as the menu resource describes it: '&' marks the access key
// and '\t' separates the accelerator text.
struct MenuItemText {
    const char* text;  // null: separator
    int command;
};
const MenuItemText kFileMenu[] = {
    {"&Open File...\tCtrl+O", MENU_OPEN_FILE},
    {nullptr, 0},
    {"&Change device...\tF2", MENU_CHANGE_DEVICE},
    {nullptr, 0},
    {"E&xit\tESC", MENU_EXIT},
};
const char* const kFileMenuTitle = "&File";

// ImGui shows no access keys: the label loses its '&', the text after the tab
// becomes the shortcut column.
void SplitMenuText(const char* text, std::string* label, std::string* shortcut) {
    label->clear();
    shortcut->clear();
    const char* tab = nullptr;
    for (const char* p = text; *p; ++p) {
        if (*p == '\t') {
            tab = p;
            break;
        }
        if (*p != '&') label->push_back(*p);
    }
    if (tab) shortcut->assign(tab + 1);
}

// Draws the bar; returns true while the File menu is open and puts a chosen
// command in *command.
bool DrawMenuBar(bool enabled, int* command, bool close = false) {
    bool open = false;
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(ImGui::GetStyle().FramePadding.x,
                                                           (kMenuStripHeight - ImGui::GetFontSize()) * 0.5f));
    if (ImGui::BeginMainMenuBar()) {
        std::string title, unused;
        SplitMenuText(kFileMenuTitle, &title, &unused);
        if (ImGui::BeginMenu(title.c_str(), enabled)) {
            open = !close;
            if (close) ImGui::CloseCurrentPopup();
            for (const MenuItemText& item : kFileMenu) {
                if (!item.text) {
                    ImGui::Separator();
                    continue;
                }
                std::string label, shortcut;
                SplitMenuText(item.text, &label, &shortcut);
                if (ImGui::MenuItem(label.c_str(), shortcut.c_str())) *command = item.command;
            }
            ImGui::EndMenu();
        }
        ImGui::EndMainMenuBar();
    }
    ImGui::PopStyleVar();
    return open;
}

// Events wait here for the next ImGui frame. This ImGui keeps only the state of
// each key and button per frame, so a press and its release handed over in
// the same frame would be lost: each frame gets at most one press or release.
std::deque<SDL_Event> g_pending;
const size_t kMaxPending = 512;

bool IsTransition(Uint32 type) {
    return type == SDL_KEYDOWN || type == SDL_KEYUP || type == SDL_MOUSEBUTTONDOWN ||
           type == SDL_MOUSEBUTTONUP;
}

void FeedPending() {
    bool transition = false;
    while (!g_pending.empty()) {
        const SDL_Event& e = g_pending.front();
        if (IsTransition(e.type)) {
            if (transition) break;
            transition = true;
        }
        ImGui_ImplSDL2_ProcessEvent(&e);
        if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
            // The backend reads the modifiers SDL holds now, which may be a
            // later frame's (Ctrl already let go when its A is fed): each key
            // goes with the modifiers of its own event.
            ImGuiIO& io = ImGui::GetIO();
            const Uint16 mod = e.key.keysym.mod;
            io.KeyShift = (mod & KMOD_SHIFT) != 0;
            io.KeyCtrl = (mod & KMOD_CTRL) != 0;
            io.KeyAlt = (mod & KMOD_ALT) != 0;
            io.KeySuper = (mod & KMOD_GUI) != 0;
        }
        g_pending.pop_front();
    }
}

void Queue(const SDL_Event& e) {
    if (g_pending.size() >= kMaxPending) g_pending.pop_front();
    g_pending.push_back(e);
}

void BeginImGuiFrame() {
    FeedPending();
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
}

void EndImGuiFrame() {
    ImGui::Render();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

// Copies the engine's image from the back buffer.
void KeepFrame(int width, int height) {
    if (width <= 0 || height <= 0) return;
    glPushAttrib(GL_TEXTURE_BIT | GL_PIXEL_MODE_BIT);
    if (!g_kept_texture || width != g_kept_width || height != g_kept_height) {
        if (!g_kept_texture) glGenTextures(1, &g_kept_texture);
        glBindTexture(GL_TEXTURE_2D, g_kept_texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        g_kept_width = width;
        g_kept_height = height;
    } else {
        glBindTexture(GL_TEXTURE_2D, g_kept_texture);
    }
    glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
    glPopAttrib();
    g_kept = true;
}

// Clears the window and draws the kept frame where the driver drew it.
void DrawKeptFrame() {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(g_window, &w, &h);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, w, h);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (g_kept) {
        glViewport(0, 0, g_kept_width, g_kept_height);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_FOG);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, g_kept_texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(-1.0f, -1.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2f(1.0f, -1.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex2f(1.0f, 1.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex2f(-1.0f, 1.0f);
        glEnd();
    }
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

// Two swaps of different colours, then the back buffer read: buffers that
// take turns would show the first colour or neither.
bool BackBufferSurvivesSwap(SDL_Window* window) {
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT | GL_PIXEL_MODE_BIT);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const GLubyte blue[2] = {0, 8};
    for (GLubyte b : blue) {
        glClearColor(0.0f, 0.0f, b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        SDL_GL_SwapWindow(window);
    }
    GLubyte pixel[4] = {1, 1, 1, 1};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
    glPopAttrib();
    return pixel[0] == 0 && pixel[1] == 0 && pixel[2] == blue[1];
}

// Scripts that drive the window with synthetic keys and clicks (the tests)
// must not send them before a menu or box can take them, nor look at it
// before it is drawn in full. When the environment names a file in
// ZENDAR_MODAL_SHOWN, each modal loop creates it once, as soon as what it
// draws is settled: an ImGui window opened in one pass is measured unseen
// there and shown in the next, which also gives the keyboard to the field
// that asked for it (input that arrives after that is the window's), and
// the shade behind a modal box fades in over the passes of a sixth of a
// second.
bool Settled(int pass) {
    if (pass < 2) return false;
    return !ImGui::GetTopMostPopupModal() || GImGui->DimBgRatio >= 1.0f;
}

void TellModalShown() {
    const char* file = std::getenv("ZENDAR_MODAL_SHOWN");
    if (!file || !*file) return;
    if (FILE* f = std::fopen(file, "w")) std::fclose(f);
}

}  // namespace

bool OverlayInit(SDL_Window* window) {
    if (g_ready) return true;
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    if (!window || !context) return false;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // The program keeps no ImGui files in the player's folder.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsClassic();
    ImGui::GetStyle().WindowRounding = 0.0f;
    if (!ImGui_ImplSDL2_InitForOpenGL(window, context)) {
        ImGui::DestroyContext();
        return false;
    }
    if (!ImGui_ImplOpenGL2_Init()) {
        ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext();
        return false;
    }
    g_window = window;
    g_back_survives_swap = BackBufferSurvivesSwap(window);
    g_ready = true;
    return true;
}

void OverlayShutdown() {
    if (!g_ready) return;
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    g_ready = false;
    g_window = nullptr;
    g_pending.clear();
}

bool OverlayReady() { return g_ready; }

void OverlayProcessEvent(const SDL_Event& event) {
    if (g_ready) Queue(event);
}

void OverlayPresentFrame(int width, int height, bool* opened) {
    *opened = false;
    if (!g_ready) return;
    g_frame_width = width;
    g_frame_height = height;
    g_frame_new = true;
    if (!g_back_survives_swap) KeepFrame(width, height);
    BeginImGuiFrame();
    int command = 0;
    *opened = DrawMenuBar(true, &command);
    EndImGuiFrame();
}

int RunOverlayLoop(const std::function<bool()>& body, bool menu_open) {
    if (!g_ready) return MENU_NONE;
    if (g_back_survives_swap && g_loop_depth == 0 && g_frame_new) {
        KeepFrame(g_frame_width, g_frame_height);
        g_frame_new = false;
    }
    ++g_loop_depth;
    int command = MENU_NONE;
    bool told = false;
    for (int pass = 1;; ++pass) {
        SDL_PumpEvents();
        // Only input is taken here: window events stay queued for the main
        // loop, like the messages of a Win32 modal loop meant for another window.
        SDL_Event events[64];
        int n;
        bool any = false;
        bool escape = false;
        while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_KEYDOWN, SDL_MOUSEWHEEL)) > 0) {
            for (int i = 0; i < n; ++i) {
                Queue(events[i]);
                if (events[i].type == SDL_KEYDOWN && events[i].key.keysym.sym == SDLK_ESCAPE) escape = true;
            }
            any = true;
        }
        BeginImGuiFrame();
        bool keep_going;
        if (menu_open) {
            // Esc closes the menu, as it does a Windows menu.
            keep_going = DrawMenuBar(true, &command, escape) && command == MENU_NONE;
            body();
        } else {
            int unused = 0;
            DrawMenuBar(false, &unused);
            keep_going = body();
        }
        DrawKeptFrame();
        EndImGuiFrame();
        SDL_GL_SwapWindow(g_window);
        if (!keep_going) break;
        if (!told && Settled(pass)) {
            TellModalShown();
            told = true;
        }
        if (!any && g_pending.empty()) SDL_Delay(10);
    }
    --g_loop_depth;
    return command;
}
