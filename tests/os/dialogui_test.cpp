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
        const char* path =
            OpenFileDialog("Load Zendar 1 area file", "ZdA Files", "z1a", std::getenv("ZENDAR_DIALOG_START"));
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
        std::string shown = work + "shown";
        std::remove(out.c_str());
        std::remove(shown.c_str());
        setenv("ZENDAR_DIALOG_MODE", mode.c_str(), 1);
        setenv("ZENDAR_DIALOG_OUT", out.c_str(), 1);
        // The dialog's loop creates this file once the dialog is drawn and
        // takes keys: the window alone comes before that.
        setenv("ZENDAR_MODAL_SHOWN", shown.c_str(), 1);
        std::string script = work + "drive.sh";
        // The actions may name the window as $WID.
        xrun::WriteFile(script, std::string(xrun::kScriptStart) + "\"$@\" &\nCHILD=$!\n" +
                                    "WID=$(xdotool search --sync --onlyvisible --name '" + kChildTitle +
                                    "' | head -n 1)\nwaitfor test -e '" + shown + "'\n" + actions +
                                    "\nwait $CHILD\n");
        xrun::Result r = xrun::Run(work,
                                   {"bash", script, self, "--gtest_also_run_disabled_tests",
                                    "--gtest_filter=DialogChild.DISABLED_Run"},
                                   60);
        unsetenv("ZENDAR_MODAL_SHOWN");
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return xrun::ReadFile(out);
    }

    std::string work;
};

TEST_F(DialogUi, TypedTextAndEnterAreOk) {
    // The field starts selected; End lets go of that, so only Ctrl+A makes
    // the typing replace it.
    EXPECT_EQ(Drive("sheet", "xdotool key End\nxdotool key ctrl+a\nxdotool type gate02\nxdotool key Return"),
              "ok=1 name=gate02 locked=0");
    EXPECT_EQ(Drive("sheet", "xdotool key End\nxdotool type 2\nxdotool key Return"),
              "ok=1 name=lamp012 locked=0");
}

TEST_F(DialogUi, EscapeCancelsAndKeepsTheFields) {
    EXPECT_EQ(Drive("sheet", "xdotool type xyz\nxdotool key Escape"), "ok=0 name=lamp01 locked=0");
}

TEST_F(DialogUi, EnterSaysYesAndEscapeNoToTheQuitBox) {
    EXPECT_EQ(Drive("yesno", "xdotool key Return"), "yes=1");
    EXPECT_EQ(Drive("yesno", "xdotool key Escape"), "yes=0");
}

TEST_F(DialogUi, ABoxIsDrawnOverTheLastFrame) {
    if (!xrun::Have("import") || !xrun::Have("convert")) GTEST_SKIP() << "needs imagemagick";
    // The frame the child presented is cleared to 32 64 96; beside the box it
    // shows through the modal shade (20% grey at 35%); the box's title bar
    // stands in the middle of the window.
    const std::string pixel = "convert " + work + "shot.png -crop 1x1+%d+%d -depth 8 txt:- | sed -n " +
                              "'s/^0,0: *(\\([0-9,]*\\)).*/(\\1)/p' >> " + work + "pixels.txt\n";
    char beside[300], middle[300];
    std::snprintf(beside, sizeof beside, pixel.c_str(), 10, 200);
    std::snprintf(middle, sizeof middle, pixel.c_str(), 500, 356);
    EXPECT_EQ(
        Drive("yesno", "import -window $WID " + work + "shot.png\n" + beside + middle + "xdotool key Escape"),
        "yes=0");
    int at[2][3] = {};
    const std::string pixels = xrun::ReadFile(work + "pixels.txt");
    ASSERT_EQ(std::sscanf(pixels.c_str(), "(%d,%d,%d) (%d,%d,%d)", &at[0][0], &at[0][1], &at[0][2], &at[1][0],
                          &at[1][1], &at[1][2]),
              6)
        << pixels;
    const int frame[3] = {32, 64, 96};
    int covered = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(at[0][i], frame[i] * 0.65 + 255 * 0.2 * 0.35, 2.0) << "beside the box: " << pixels;
        covered += std::abs(at[1][i] - at[0][i]);
    }
    EXPECT_GT(covered, 30) << "the box's title bar: " << pixels;
}

TEST_F(DialogUi, FileDialogStartsAtTheFileAndTakesAbsolutePathsAsGiven) {
    const std::string area = work + "area/";
    ASSERT_EQ(mkdir(area.c_str(), 0755), 0);
    xrun::WriteFile(area + "village.z1a", "Z1A");
    struct Case {
        std::string start, keys, file;
    } cases[] = {
        {area + "village.z1a", "xdotool key Return", area + "village.z1a"},
        {area + "village.z1a",
         "xdotool key End\nxdotool key ctrl+a\nxdotool type /tmp/a/x.z1a\nxdotool key Return",
         "/tmp/a/x.z1a"},
        // Typed after the folder the field showed.
        {area, "xdotool key End\nxdotool type /tmp/a/y.z1a\nxdotool key Return", "/tmp/a/y.z1a"},
    };
    for (const Case& c : cases) {
        setenv("ZENDAR_DIALOG_START", c.start.c_str(), 1);
        EXPECT_EQ(Drive("file", c.keys), "file=" + c.file) << c.start << " then " << c.keys;
    }
    unsetenv("ZENDAR_DIALOG_START");
}

}  // namespace
