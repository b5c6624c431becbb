#include "dx7_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "gfxdriver/dx7driver/dx7resource.h"
#include "gfxdriver/opengldriver/screenshot.h"

namespace dx7_test {

namespace {

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    const LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char text[256] = {};
        if (SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 255)
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

BOOL CALLBACK CollectLabel(HWND child, LPARAM context) {
    char cls[32] = {}, text[128] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0) {
        GetWindowTextA(child, text, sizeof text);
        reinterpret_cast<std::vector<std::string>*>(context)->push_back(text);
    }
    return TRUE;
}

struct VisitJob {
    DeviceDialogVisit* visit;
    int seconds;
    HANDLE process;
};

DWORD WINAPI Visit(void* context) {
    VisitJob* job = static_cast<VisitJob*>(context);
    DeviceDialogVisit* v = job->visit;
    // The dialog is shown once its WM_INITDIALOG has filled it.
    HWND dialog = nullptr;
    for (int waited = 0; waited < job->seconds * 100; ++waited) {
        dialog = FindWindowA("#32770", "Select Device");
        if (dialog && IsWindowVisible(dialog)) break;
        dialog = nullptr;
        if (job->process && WaitForSingleObject(job->process, 0) == WAIT_OBJECT_0) break;
        Sleep(10);
    }
    delete job;
    if (!dialog) return 0;
    v->found = true;
    char caption[64] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    v->caption = caption;
    EnumChildWindows(dialog, CollectLabel, reinterpret_cast<LPARAM>(&v->labels));
    HWND devices = GetDlgItem(dialog, IDC_DEVICE_LIST), modes = GetDlgItem(dialog, IDC_MODE_LIST);
    if (v->readLists) {
        v->devices = ComboItems(devices);
        v->modes = ComboItems(modes);
    }
    v->modesEnabled = IsWindowEnabled(modes) != 0;
    if (!v->device.empty())
        SendMessageA(devices, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(v->device.c_str()));
    if (!v->mode.empty()) {
        SendMessageA(GetDlgItem(dialog, IDC_DESKTOP_WINDOW), BM_CLICK, 0, 0);
        SendMessageA(modes, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(v->mode.c_str()));
    }
    v->modesEnabledAfter = IsWindowEnabled(modes) != 0;
    SendMessageA(GetDlgItem(dialog, v->ok ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
    return 0;
}

}  // namespace

HANDLE StartDeviceDialogVisit(DeviceDialogVisit* visit, int seconds, HANDLE process) {
    return CreateThread(nullptr, 0, Visit, new VisitJob{visit, seconds, process}, 0, nullptr);
}

void FinishDeviceDialogVisit(HANDLE thread) {
    if (!thread) return;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

HWND TestWindow() {
    static HWND window = nullptr;
    if (window) return window;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.lpszClassName = "Dx7 Test Window";
    RegisterClassA(&wc);
    window = CreateWindowExA(0, wc.lpszClassName, "Dx7Driver test", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600,
                             nullptr, nullptr, wc.hInstance, nullptr);
    return window;
}

ScopedReplay::ScopedReplay(const std::string& text) : saved_(g_replay) {
    std::string error;
    EXPECT_TRUE(replay_.Parse(text, &error)) << error;
    g_replay = &replay_;
}

ScopedReplay::~ScopedReplay() { g_replay = saved_; }

std::unique_ptr<Dx7Driver> MakeDriver() {
    ScopedReplay replay("answer ok\n");
    std::unique_ptr<Dx7Driver> d(new Dx7Driver());
    if (!d->Init(GetModuleHandleA(nullptr), TestWindow())) {
        ADD_FAILURE() << "Dx7Driver::Init failed";
        return nullptr;
    }
    return d;
}

std::string Reference(const std::string& relative) {
    return std::string(ZENDAR_SOURCE_DIR) + "/tests/data/" + relative;
}

FrameDifference ComparePictures(const Picture& actual, const Picture& expected, const std::string& name,
                                Tolerance tolerance, int top, int refTop, int rows,
                                const std::vector<Rect>& skip) {
    FrameDifference diff;
    const int w = actual.w;
    if (expected.w != w) {
        ADD_FAILURE() << name << ": frame is " << w << " wide, reference " << expected.w;
        return diff;
    }
    if (rows < 0) rows = std::min(actual.h - top, expected.h - refTop);
    // Direct3D puts pixel centres half a pixel from OpenGL's, so edges and
    // texel ramps land up to a pixel over: a channel counts as equal when it
    // lies within the tolerance of the range the reference pixel and its
    // eight neighbours span.
    auto at = [w](const Picture& p, int x, int y) {
        return p.rgb.data() + (static_cast<size_t>(y) * w + x) * 3;
    };
    long sameBad = 0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < w; ++x) {
            bool skipped = false;
            for (const Rect& r : skip)
                skipped = skipped || (x >= r.x0 && x < r.x1 && top + y >= r.y0 && top + y < r.y1);
            if (skipped) continue;
            const uint8_t* a = at(actual, x, top + y);
            const uint8_t* e = at(expected, x, refTop + y);
            int same = 0, off = 0;
            for (int c = 0; c < 3; ++c) {
                int lo = e[c], hi = e[c];
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        int ry = refTop + y + dy, rx = x + dx;
                        if (ry < 0 || ry >= expected.h || rx < 0 || rx >= w) continue;
                        int v = at(expected, rx, ry)[c];
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                same = std::max(same, std::abs(a[c] - e[c]));
                off = std::max(off, a[c] < lo ? lo - a[c] : a[c] > hi ? a[c] - hi : 0);
            }
            diff.worst = std::max(diff.worst, off);
            diff.mean += same;
            if (same > tolerance.channel) ++sameBad;
            if (off > tolerance.channel) ++diff.bad;
            ++diff.pixels;
        }
    }
    if (diff.pixels) diff.mean /= static_cast<double>(diff.pixels);
    const double share = diff.pixels ? 100.0 * diff.bad / diff.pixels : 0.0;
    std::printf(
        "[ frame    ] %s: %ld of %ld pixels (%.3f %%) beyond %d of the reference's 3x3 range, worst %d; "
        "%.3f %% beyond %d of the same pixel, mean difference %.2f\n",
        name.c_str(), diff.bad, diff.pixels, share, tolerance.channel, diff.worst,
        diff.pixels ? 100.0 * sameBad / diff.pixels : 0.0, tolerance.channel, diff.mean);
    // Kept for a look at what was drawn, whether or not it matched, beside
    // what it was compared with.
    const std::string out = ::testing::TempDir() + "dx7_" + name + "_actual.png";
    WritePNG(out.c_str(), actual.w, actual.h, actual.rgb.data());
    WritePNG((::testing::TempDir() + "dx7_" + name + "_expected.png").c_str(), expected.w, expected.h,
             expected.rgb.data());
    if (diff.bad > static_cast<long>(tolerance.badFraction * diff.pixels)) {
        ADD_FAILURE() << name << ": " << diff.bad << " of " << diff.pixels << " pixels differ by more than "
                      << tolerance.channel << " (worst " << diff.worst << "); frame written to " << out;
    }
    return diff;
}

bool LoadPicture(const std::string& path, Picture* p) { return ReadPNG(path.c_str(), &p->w, &p->h, &p->rgb); }

FrameDifference CompareBackBuffer(Dx7Driver* d, const std::string& reference, const std::string& name,
                                  Tolerance tolerance, int top, int refTop, int rows) {
    Picture actual, expected;
    if (!d->ReadBackBuffer(&actual.rgb, &actual.w, &actual.h)) {
        ADD_FAILURE() << name << ": the back buffer cannot be read";
        return FrameDifference();
    }
    if (!LoadPicture(reference, &expected)) {
        ADD_FAILURE() << "missing " << reference;
        return FrameDifference();
    }
    return ComparePictures(actual, expected, name, tolerance, top, refTop, rows);
}

}  // namespace dx7_test
