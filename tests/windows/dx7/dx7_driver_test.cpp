// Dx7Driver under Wine: start-up and the device dialog answered by a replay,
// full-screen and the mode that cannot be set, lost surfaces, render state
// and counting, lights, and the result codes' texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_capture.h"
#include "dx7_fixture.h"
#include "gfxdriver/dx7driver/dx7errors.h"

namespace {

using dx7_test::DeviceDialogVisit;
using dx7_test::FinishDeviceDialogVisit;
using dx7_test::MakeDriver;
using dx7_test::ScopedReplay;
using dx7_test::StartDeviceDialogVisit;
using dx7_test::TestWindow;

int DeviceIndex(const Dx7Driver& d, const std::string& name) {
    const auto& devices = d.DeviceList().devices;
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name == name) return static_cast<int>(i);
    return -1;
}

// The colour the back buffer holds at (x, y) after a frame cleared to colour.
uint32_t ClearedPixel(Dx7Driver* d, PackedColor colour, int x = 10, int y = 10) {
    d->BeginScene();
    d->Clear(colour);
    d->EndScene();
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    if (!d->ReadBackBuffer(&rgb, &w, &h) || x >= w || y >= h) return 0xDEADBEEF;
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * w + x) * 3;
    return (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
}

// The desktop's mode in the driver's list (Xvfb can show no other).
int DesktopMode(const Dx7Driver& d) {
    DEVMODEA dm = {};
    dm.dmSize = sizeof dm;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm);
    const auto& modes = d.DeviceList().modes;
    for (size_t i = 0; i < modes.size(); ++i)
        if (modes[i].width == static_cast<long>(dm.dmPelsWidth) &&
            modes[i].height == static_cast<long>(dm.dmPelsHeight) && modes[i].bpp == 32)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST(Dx7Driver, StartsWindowedOnTheDefaultDeviceWithAnOrdinaryZBuffer) {
    test_common::LogCapture log;
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    // Wine's devices; none offers a W-buffer.
    for (const char* name : {"Wine D3D7 T&L HAL", "Direct3D HAL", "Wine D3D7 RGB"})
        EXPECT_GE(DeviceIndex(*d, name), 0) << name;
    EXPECT_EQ(d->Choice().device, DeviceIndex(*d, "Wine D3D7 T&L HAL"));
    EXPECT_TRUE(d->Choice().windowed);
    EXPECT_TRUE(log.Has("using normal z-buffer"));
    EXPECT_FALSE(log.Has("Using W-buffer"));
    EXPECT_TRUE(log.Has("Direct3D device: Wine D3D7 T&L HAL, windowed"));
    EXPECT_EQ(d->ZBufferKindInUse(), Dx7Driver::ZBUFFER_KIND_Z);
    EXPECT_EQ(d->width, 1024);
    EXPECT_EQ(d->height, 768);
    EXPECT_EQ(d->fullscreen, 0);
    EXPECT_EQ(d->privateFlags[1], 1);  // not paused
    // The initial state the setters compare with.
    EXPECT_EQ(d->lighting, 1);
    EXPECT_EQ(d->alphaBlending, 0);
    EXPECT_EQ(d->zbufferMode, 0);
    EXPECT_EQ(d->wrapU, 1);
    EXPECT_EQ(d->wrapV, 1);
    EXPECT_EQ(ClearedPixel(d.get(), 0xFF123456), 0x123456u);
    // The modes are listed as the dialog shows them.
    ASSERT_FALSE(d->DeviceList().modes.empty());
    for (const Dx7DisplayMode& m : d->DeviceList().modes) {
        EXPECT_TRUE(m.bpp == 16 || m.bpp == 32);
        char text[64];
        std::snprintf(text, sizeof text, "%ld x %ld x %ld", m.width, m.height, m.bpp);
        EXPECT_EQ(ModeText(m), text);
    }
}

TEST(Dx7Driver, DeviceDialogAnsweredByTheReplay) {
    test_common::LogCapture log;
    std::unique_ptr<Dx7Driver> d(new Dx7Driver());
    {
        ScopedReplay replay(
            "answer field Device selection = Wine D3D7 RGB\n"
            "answer field Use desktop window = 1\n"
            "answer ok\n");
        ASSERT_TRUE(d->Init(GetModuleHandleA(nullptr), TestWindow()));
    }
    EXPECT_EQ(d->Choice().device, DeviceIndex(*d, "Wine D3D7 RGB"));
    EXPECT_TRUE(log.Has("Direct3D device: Wine D3D7 RGB, windowed"));
    EXPECT_EQ(ClearedPixel(d.get(), 0xFF00FF00), 0x00FF00u);

    // F2: cancelled, nothing changes; then another device by its index.
    {
        ScopedReplay replay("answer cancel\n");
        d->ChangeEnvironment();
    }
    EXPECT_EQ(d->Choice().device, DeviceIndex(*d, "Wine D3D7 RGB"));
    EXPECT_EQ(log.Count("using normal z-buffer"), 1);
    {
        const std::string hal = std::to_string(DeviceIndex(*d, "Direct3D HAL"));
        ScopedReplay replay("answer field Device selection = " + hal + "\nanswer ok\n");
        d->ChangeEnvironment();
    }
    EXPECT_EQ(d->Choice().device, DeviceIndex(*d, "Direct3D HAL"));
    EXPECT_EQ(log.Count("using normal z-buffer"), 2);
    EXPECT_FALSE(d->Paused());
    EXPECT_EQ(ClearedPixel(d.get(), 0xFF0000FF), 0x0000FFu);
}

TEST(Dx7Driver, SelectDeviceDialogFromItsResource) {
    test_common::LogCapture log;
    // Without a replay the player answers the dialog itself: the software
    // device, windowed.
    Dx7Driver d;
    DeviceDialogVisit first;
    first.device = "Wine D3D7 RGB";
    HANDLE visit = StartDeviceDialogVisit(&first);
    const bool started = d.Init(GetModuleHandleA(nullptr), TestWindow());
    FinishDeviceDialogVisit(visit);
    ASSERT_TRUE(first.found);
    ASSERT_TRUE(started);
    EXPECT_EQ(first.caption, "Select Device");
    EXPECT_EQ(first.labels, (std::vector<std::string>{"&Device selection", "Use desktop &window",
                                                      "Fullscreen &modes", "OK", "Cancel"}));
    std::vector<std::string> devices, modes;
    for (const Dx7Device& device : d.DeviceList().devices) devices.push_back(device.name);
    for (const Dx7DisplayMode& mode : d.DeviceList().modes) modes.push_back(ModeText(mode));
    EXPECT_EQ(first.devices, devices);
    EXPECT_EQ(first.modes, modes);
    EXPECT_FALSE(first.modesEnabled);  // windowed: the modes do not apply
    EXPECT_EQ(d.Choice().device, DeviceIndex(d, "Wine D3D7 RGB"));
    EXPECT_TRUE(log.Has("Direct3D device: Wine D3D7 RGB, windowed"));

    // F2, cancelled: nothing changes.
    DeviceDialogVisit cancel;
    cancel.device = "Direct3D HAL";
    cancel.ok = false;
    visit = StartDeviceDialogVisit(&cancel);
    d.ChangeEnvironment();
    FinishDeviceDialogVisit(visit);
    EXPECT_TRUE(cancel.found);
    EXPECT_EQ(d.Choice().device, DeviceIndex(d, "Wine D3D7 RGB"));
    EXPECT_EQ(log.Count("Direct3D device:"), 1);

    // F2 again: full screen in the desktop's mode.
    DeviceDialogVisit full;
    full.mode = ModeText(d.DeviceList().modes[static_cast<size_t>(DesktopMode(d))]);
    visit = StartDeviceDialogVisit(&full);
    d.ChangeEnvironment();
    FinishDeviceDialogVisit(visit);
    EXPECT_TRUE(full.modesEnabledAfter);
    EXPECT_EQ(d.fullscreen, 1);
    EXPECT_TRUE(log.Has("Direct3D device: Wine D3D7 RGB, " + full.mode));
    EXPECT_EQ(ClearedPixel(&d, 0xFF306090), 0x306090u);
    d.ToggleFullscreen();
    EXPECT_EQ(d.fullscreen, 0);
}

TEST(Dx7Driver, WithoutItsDialogResourceInitClosesTheWindow) {
    test_common::LogCapture log;
    // A module without the "Select Device" resource, and no replay.
    HWND window = CreateWindowExA(0, "STATIC", "closed", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window);
    Dx7Driver d;
    EXPECT_FALSE(d.Init(GetModuleHandleA("kernel32.dll"), window));
    EXPECT_TRUE(log.Has("FAILED initializing dialog - exiting"));
    EXPECT_FALSE(IsWindow(window));
}

TEST(Dx7Driver, FullScreenAtTheDesktopModeAndAModeThatCannotBeSet) {
    test_common::LogCapture log;
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    const int desktop = DesktopMode(*d);
    ASSERT_GE(desktop, 0);
    // Xvfb offers its one size only (at 16 and 32 bits, the depths Wine
    // fakes); a display that offered another size could not show it.
    Dx7DisplayMode want;
    want.width = 800;
    want.height = 600;
    want.bpp = 32;
    d->DeviceList().modes.push_back(want);

    // Another mode: Xvfb refuses it; the driver says so and goes on in a window.
    {
        ScopedReplay replay("answer field Use desktop window = 0\nanswer field Fullscreen modes = " +
                            ModeText(want) + "\nanswer ok\n");
        d->ChangeEnvironment();
    }
    EXPECT_TRUE(log.Has("CreateFullscreenBuffers :: Couldn't set screen mode"));
    EXPECT_TRUE(log.Has("Error changing environment"));
    EXPECT_EQ(d->fullscreen, 0);
    EXPECT_TRUE(d->Choice().windowed);
    EXPECT_EQ(d->width, 1024);
    EXPECT_EQ(ClearedPixel(d.get(), 0xFF808000), 0x808000u);

    // The desktop's mode works; Alt+Enter goes back and forth.
    {
        ScopedReplay replay("answer field Use desktop window = 0\nanswer field Fullscreen modes = " +
                            std::to_string(desktop) + "\nanswer ok\n");
        d->ChangeEnvironment();
    }
    EXPECT_EQ(d->fullscreen, 1);
    EXPECT_EQ(d->width, d->DeviceList().modes[static_cast<size_t>(desktop)].width);
    EXPECT_EQ(ClearedPixel(d.get(), 0xFF204060, 600, 500), 0x204060u);
    EXPECT_TRUE(d->ShowFrame());
    d->ToggleFullscreen();
    EXPECT_EQ(d->fullscreen, 0);
    EXPECT_EQ(d->height, 768);
    d->ToggleFullscreen();
    EXPECT_EQ(d->fullscreen, 1);
    // Paused, the desktop surface is shown and frames are not flipped.
    d->Pause(true);
    d->Pause(true);
    d->Pause(false);
    EXPECT_TRUE(d->Paused());
    EXPECT_EQ(d->privateFlags[1], 0);
    d->Pause(false);
    EXPECT_FALSE(d->Paused());
    d->ToggleFullscreen();
    EXPECT_EQ(d->fullscreen, 0);
}

TEST(Dx7Driver, LostSurfacesAreRestoredByBeginScene) {
    test_common::LogCapture log;
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    // Windowed, Wine never loses the surfaces; asked to restore them, the
    // driver makes them again.
    EXPECT_TRUE(d->RestoreSurfaces());
    EXPECT_TRUE(log.Has("updating windowed..."));
    EXPECT_EQ(log.Count("using normal z-buffer"), 2);
    EXPECT_EQ(ClearedPixel(d.get(), 0xFF405060), 0x405060u);

    // Full-screen, a program that loses the focus loses its surfaces; the
    // next BeginScene restores them and the frame draws.
    {
        ScopedReplay replay("answer field Use desktop window = 0\nanswer field Fullscreen modes = " +
                            std::to_string(DesktopMode(*d)) + "\nanswer ok\n");
        d->ChangeEnvironment();
    }
    ASSERT_EQ(d->fullscreen, 1);
    SendMessageA(TestWindow(), WM_ACTIVATEAPP, FALSE, 0);
    SendMessageA(TestWindow(), WM_ACTIVATEAPP, TRUE, 0);
    ASSERT_EQ(d->FrontBuffer()->IsLost(), DDERR_SURFACELOST);
    ASSERT_EQ(d->BackBuffer()->IsLost(), DDERR_SURFACELOST);
    EXPECT_TRUE(d->BeginScene());
    EXPECT_EQ(d->FrontBuffer()->IsLost(), DD_OK);
    EXPECT_EQ(d->BackBuffer()->IsLost(), DD_OK);
    d->EndScene();
    EXPECT_EQ(ClearedPixel(d.get(), 0xFF102030), 0x102030u);
    EXPECT_TRUE(d->ShowFrame());
    EXPECT_FALSE(log.Has("ERROR - cannot restore surfaces"));
    d->ToggleFullscreen();
}

TEST(Dx7Driver, CountsCachedStatesAndLights) {
    test_common::LogCapture log;
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    VERTEX v[7] = {};
    d->BeginScene();
    EXPECT_TRUE(d->DrawStrip(v, 0));
    EXPECT_EQ(d->vertices, 0);
    EXPECT_TRUE(d->DrawStrip(v, 7));
    EXPECT_TRUE(d->DrawLines(v, 6));
    uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    EXPECT_TRUE(d->DrawIndexedList(v, 4, idx, 6));
    EXPECT_EQ(d->vertices, 17);
    EXPECT_EQ(d->faces, 4);
    LVERTEX l[3] = {};
    d->SetLighting(true);
    d->DrawList(l, 3);
    EXPECT_EQ(d->lighting, 1);
    d->SetLighting(false);
    d->DrawList(l, 3);
    EXPECT_EQ(d->lighting, 0);
    d->EndScene();
    const int frames = d->frames;
    d->BeginScene();
    EXPECT_EQ(d->frames, frames + 1);
    EXPECT_EQ(d->faces, 0);
    d->EndScene();

    EXPECT_FALSE(d->SetLighting(true));
    EXPECT_TRUE(d->SetLighting(true));
    EXPECT_EQ(d->SetZBufferMode(ZBUFFER_NOWRITE), ZBUFFER_ON);
    EXPECT_EQ(d->SetZBufferMode(7), ZBUFFER_NOWRITE);
    EXPECT_EQ(d->zbufferMode, ZBUFFER_NOWRITE);
    EXPECT_TRUE(d->SetTextureWrapU(false));
    EXPECT_FALSE(d->SetTextureWrapU(false));
    EXPECT_FALSE(d->SetAlphaBlending(true));

    LightDesc sun{};
    sun.type = LIGHT_DIRECTIONAL;
    sun.direction = VECTOR{0, 1, 0};
    sun.r = 1.0f;
    sun.g = 0.5f;
    sun.b = 0.25f;
    EXPECT_EQ(d->CreateLight(sun), 0);
    EXPECT_EQ(d->CreateLight(sun), 1);
    EXPECT_TRUE(log.Has("Created light no 1 (color 1.000000, 0.500000, 0.250000)"));
    // A light of another type keeps what it was; a new one has no type the
    // device takes.
    LightDesc other = sun;
    other.type = 7;
    EXPECT_TRUE(d->SetLight(1, other));
    EXPECT_EQ(d->CreateLight(other), 2);
    EXPECT_TRUE(log.Has("Invalid params to set light at index 2"));
    EXPECT_FALSE(log.Has("Invalid params to set light at index 1"));
    EXPECT_FALSE(d->SetLight(-1, sun));
    EXPECT_TRUE(log.Has("Invalid params to set light at index -1"));

    d->SetProjection(1.0f, 0.75f, 1.0f, 101.0f);
    MATRIX p;
    d->GetProjectionMatrix(&p);
    const float k = std::cos(0.5f) / std::sin(0.5f);
    EXPECT_FLOAT_EQ(p.m[0], 0.75f * k);
    EXPECT_FLOAT_EQ(p.m[5], k);
    EXPECT_FLOAT_EQ(p.m[10], 1.01f);
    EXPECT_FLOAT_EQ(p.m[11], 1.0f);
    EXPECT_FLOAT_EQ(p.m[14], -1.01f);
    EXPECT_FLOAT_EQ(p.m[15], 0.0f);
}

TEST(Dx7Errors, PublishedDescriptionsAndUnknownCodes) {
    const struct {
        int32_t code;
        const char* text;
    } cases[] = {
        {DDERR_SURFACELOST,
         "Access to the surface is refused because the surface memory is gone. Call the "
         "IDirectDrawSurface7::Restore method on this surface to restore the memory associated with it."},
        {DDERR_UNSUPPORTED, "The operation is not supported."},
        {DDERR_OUTOFVIDEOMEMORY, "DirectDraw does not have enough display memory to perform the operation."},
        {DDERR_INVALIDPARAMS, "One or more of the parameters passed to the method are incorrect."},
        {DD_OK, "The request completed successfully."},
        {static_cast<int32_t>(0x88760001u), "N/A - 88760001"},
        {0x12345678, "N/A - 12345678"},
    };
    for (const auto& c : cases) EXPECT_EQ(DDErrorText(c.code), c.text);
}
