#include "os/sdl/overlay.h"

#include <GL/gl.h>

#include <deque>
#include <string>

#include "imgui.h"
#include "imgui_impl_opengl2.h"
#include "imgui_impl_sdl.h"

namespace {

SDL_Window* g_window = nullptr;
bool g_ready = false;

// The last finished frame, kept in a texture for the modal loops. Copying a
// whole frame costs about as much as drawing a textured layer over it, so
// only the strip under the menu bar is copied every frame; the rest comes from
// the front buffer when a loop starts (it holds the last frame there, with the
// bar drawn over the strip), or from the back buffer when the File menu opens.
GLuint g_kept_texture = 0;
int g_kept_width = 0;
int g_kept_height = 0;
bool g_kept = false;        // the texture holds the last presented frame
bool g_strip_kept = false;  // its strip under the menu bar does

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

// Binds the kept texture, made width x height when it is not.
void BindKeptTexture(int width, int height) {
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
        g_kept = g_strip_kept = false;
    } else {
        glBindTexture(GL_TEXTURE_2D, g_kept_texture);
    }
}

// Copies rows first .. first + count - 1 (from the bottom) of buffer into the
// kept texture.
void KeepRows(GLenum buffer, int first, int count) {
    if (count <= 0) return;
    glReadBuffer(buffer);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, first, 0, first, g_kept_width, count);
}

// The whole frame, from the back buffer before the menu bar is drawn.
void KeepFrame(int width, int height) {
    if (width <= 0 || height <= 0) return;
    glPushAttrib(GL_TEXTURE_BIT | GL_PIXEL_MODE_BIT);
    BindKeptTexture(width, height);
    KeepRows(GL_BACK, 0, height);
    glPopAttrib();
    g_kept = g_strip_kept = true;
}

int StripRows() { return kMenuStripHeight < g_kept_height ? kMenuStripHeight : g_kept_height; }

// Every frame: the strip the menu bar covers, before the bar is drawn.
void KeepStrip(int width, int height) {
    g_kept = false;
    g_strip_kept = false;
    if (width <= 0 || height <= 0) return;
    glPushAttrib(GL_TEXTURE_BIT | GL_PIXEL_MODE_BIT);
    BindKeptTexture(width, height);
    KeepRows(GL_BACK, g_kept_height - StripRows(), StripRows());
    glPopAttrib();
    g_strip_kept = true;
}

// A modal loop starts: the rest of the last frame, from the front buffer.
void KeepPresentedFrame() {
    if (g_kept || !g_strip_kept) return;
    glPushAttrib(GL_TEXTURE_BIT | GL_PIXEL_MODE_BIT);
    glBindTexture(GL_TEXTURE_2D, g_kept_texture);
    KeepRows(GL_FRONT, 0, g_kept_height - StripRows());
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
    KeepStrip(width, height);
    BeginImGuiFrame();
    int command = 0;
    *opened = DrawMenuBar(true, &command);
    // The menu's loop comes next, and the bar is not drawn yet: take the
    // frame from the back buffer, which will show the opened menu.
    if (*opened) KeepFrame(width, height);
    EndImGuiFrame();
}

int RunOverlayLoop(const std::function<bool()>& body, bool menu_open) {
    if (!g_ready) return MENU_NONE;
    KeepPresentedFrame();
    int command = MENU_NONE;
    for (;;) {
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
        if (!any && g_pending.empty()) SDL_Delay(10);
    }
    return command;
}
