// The ImGui dialogs of the SDL build driven by real key presses: a child run
// of this test program opens a dialog in a window, xdotool types into it, and
// the child writes what the dialog returned.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "os/dialogs.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "os/sdl/overlay.h"
#include "os/sdl/sdldialogs.h"
#include "xrun.h"

namespace {

const char* const kChildTitle = "zendar dialog check";

// Runs in the child only (started by the tests below).
TEST(DialogChild, DISABLED_Run) {
    const char* mode = std::getenv("ZENDAR_DIALOG_MODE");
    const char* out = std::getenv("ZENDAR_DIALOG_OUT");
    ASSERT_TRUE(mode && out);
    SDL_Window* window = OpenGLDriverSDLCreateWindow(kChildTitle, false);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    GfxDriver* driver = CreateOpenGLDriverSDL();
    ASSERT_TRUE(driver->Init(nullptr, window));
    SDL_SetWindowTitle(window, kChildTitle);
    ASSERT_TRUE(OverlayInit(window));
    driver->BeginScene();
    driver->Clear(0xFF204060u);
    driver->EndScene();
    bool opened = false;
    OverlayPresentFrame(driver->width, driver->height, &opened);
    driver->ShowFrame();

    SdlDialogs dialogs(window);
    g_dialogs = &dialogs;
    char result[600];
    if (std::string(mode) == "sheet") {
        PropertySheet sheet;
        sheet.title = "Edit Light";
        sheet.AddText("Symbolic Name:", "lamp01");
        sheet.AddCheck("Locked", false);
        bool ok = RunDialog(&sheet);
        std::snprintf(result, sizeof result, "ok=%d name=%s locked=%d", ok ? 1 : 0,
                      sheet.Text("Symbolic Name:").c_str(), sheet.Checked("Locked", true) ? 1 : 0);
    } else if (std::string(mode) == "yesno") {
        std::snprintf(result, sizeof result, "yes=%d",
                      YesNoBox("Quit?", "Are you sure you want to Quit?") ? 1 : 0);
    } else {
        const char* path = OpenFileDialog("Load Zendar 1 area file", "ZdA Files", "z1a");
        std::snprintf(result, sizeof result, "file=%s", path ? path : "(none)");
    }
    g_dialogs = nullptr;
    xrun::WriteFile(out, result);
    OverlayShutdown();
    delete driver;
    SDL_DestroyWindow(window);
    // No SDL_Quit: it unloads Mesa's driver, and what Mesa keeps for the
    // process could then no longer be told from a leak of ours.
}

class DialogUi : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xrun::CanRunUnderX() || !xrun::Have("xdotool")) GTEST_SKIP() << "needs X and xdotool";
        work = xrun::MakeDir("dialogui");
        ASSERT_FALSE(work.empty());
    }

    // Opens the dialog of `mode` in a child, runs the xdotool `actions` on it,
    // and returns what the child wrote.
    std::string Drive(const std::string& mode, const std::string& actions) {
        char self[4096];
        ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) return "no /proc/self/exe";
        self[n] = '\0';
        std::string out = work + "result.txt";
        setenv("ZENDAR_DIALOG_MODE", mode.c_str(), 1);
        setenv("ZENDAR_DIALOG_OUT", out.c_str(), 1);
        std::string script = work + "drive.sh";
        xrun::WriteFile(script, std::string("\"$@\" &\nCHILD=$!\n") +
                                    "xdotool search --sync --onlyvisible --name '" + kChildTitle +
                                    "' >/dev/null\nsleep 1\n" + actions + "\nwait $CHILD\n");
        xrun::Result r = xrun::Run(work,
                                   {"bash", script, self, "--gtest_also_run_disabled_tests",
                                    "--gtest_filter=DialogChild.DISABLED_Run"},
                                   60);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return xrun::ReadFile(out);
    }

    std::string work;
};

TEST_F(DialogUi, TypedTextAndEnterAreOk) {
    EXPECT_EQ(Drive("sheet", "xdotool key ctrl+a\nxdotool type gate02\nxdotool key Return"),
              "ok=1 name=gate02 locked=0");
}

TEST_F(DialogUi, EscapeCancelsAndKeepsTheFields) {
    EXPECT_EQ(Drive("sheet", "xdotool type xyz\nxdotool key Escape"), "ok=0 name=lamp01 locked=0");
}

TEST_F(DialogUi, EnterSaysYesAndEscapeNoToTheQuitBox) {
    EXPECT_EQ(Drive("yesno", "xdotool key Return"), "yes=1");
    EXPECT_EQ(Drive("yesno", "xdotool key Escape"), "yes=0");
}

TEST_F(DialogUi, FileDialogReturnsTheTypedPath) {
    EXPECT_EQ(Drive("file", "xdotool key ctrl+a\nxdotool type /tmp/area/village.z1a\nxdotool key Return"),
              "file=/tmp/area/village.z1a");
}

}  // namespace
