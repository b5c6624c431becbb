// Dx7TextureManager through the driver under Wine: formats, the binary-alpha
// flag and mipmaps, the messages for what cannot be read, texture lists on
// the milliseconds clock, and bitmaps read through the joined-file archive.
#include <gtest/gtest.h>

#include <direct.h>

#include <functional>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "common/test_files.h"
#include "common/texture_file.h"
#include "dx7_fixture.h"
#include "utility/clock.h"
#include "utility/jf.h"

namespace {

using dx7_test::MakeDriver;
using test_common::WriteTexture;

class ManualClock : public ClockSource {
public:
    uint32_t ms = 1000;
    float Seconds() override { return ms / 1000.0f; }
    uint32_t Milliseconds() override { return ms; }
};

// The colour a screen-filling quad with the bound texture shows in the middle.
uint32_t DrawnColour(Dx7Driver* d, const char* texture, int frame = -1) {
    d->BeginScene();
    d->Clear(0xFF000000);
    if (frame >= 0)
        d->SetTextureFrame(texture, frame);
    else
        d->SetTexture(texture);
    d->SetTextureFilter(FILTER_NEAREST);
    TLVERTEX q[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                     {1024, 0, 0.5f, 1, 0xFFFFFFFF, 0, 1, 0},
                     {0, 768, 0.5f, 1, 0xFFFFFFFF, 0, 0, 1},
                     {1024, 768, 0.5f, 1, 0xFFFFFFFF, 0, 1, 1}};
    d->DrawStrip(q, 4);
    d->SetTextureFilter(FILTER_LINEAR);
    d->EndScene();
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    if (!d->ReadBackBuffer(&rgb, &w, &h)) return 0xDEADBEEF;
    const uint8_t* p = rgb.data() + (static_cast<size_t>(h / 2) * w + w / 2) * 3;
    return (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
}

int MipLevels(IDirectDrawSurface7* top) {
    int levels = 0;
    IDirectDrawSurface7* s = top;
    s->AddRef();
    while (s) {
        ++levels;
        DDSCAPS2 caps = {};
        caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
        IDirectDrawSurface7* next = nullptr;
        if (FAILED(s->GetAttachedSurface(&caps, &next))) next = nullptr;
        s->Release();
        s = next;
    }
    return levels;
}

uint32_t Solid(uint32_t c, int, int) { return c; }

}  // namespace

TEST(Dx7Textures, FormatsBinaryAlphaAndMipmaps) {
    test_common::TempDir dir("dx7tex", true);
    test_common::LogCapture log;
    const std::string base = dir.path() + "/";
    WriteTexture(base + "plain.bmp", 64, 32, [](int, int) { return 0x3366CCu; });
    WriteTexture(base + "cut_a.bmp", 64, 32, [](int x, int) { return x < 32 ? 0u : 0xFFFFFFu; });
    WriteTexture(base + "soft_a.bmp", 64, 32, [](int x, int) { return x < 32 ? 0x808080u : 0xFFFFFFu; });
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    const struct {
        const char* alpha;
        bool hasAlpha;
        bool binary;
    } cases[] = {{nullptr, false, true}, {"cut_a.bmp", true, true}, {"soft_a.bmp", true, false}};
    for (const auto& c : cases) {
        // The same colour bitmap with each alpha map, in a manager of its own.
        const std::string name = "plain.bmp";
        Dx7TextureManager manager;
        ASSERT_TRUE(manager.Attach(d->DirectDraw(), d->Device(), true));
        ASSERT_TRUE(manager.Create(name.c_str(), c.alpha)) << (c.alpha ? c.alpha : "none");
        auto* t = manager.Find(name.c_str());
        ASSERT_TRUE(t);
        EXPECT_EQ(t->hasAlpha, c.hasAlpha);
        EXPECT_EQ(t->binaryAlpha, c.binary);
        ASSERT_EQ(t->frames.size(), 1u);
        // 64 x 32 down to 1 x 1.
        EXPECT_EQ(MipLevels(t->Surface()), 7);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        ASSERT_TRUE(SUCCEEDED(t->Surface()->GetSurfaceDesc(&desc)));
        EXPECT_EQ((desc.ddpfPixelFormat.dwFlags & DDPF_ALPHAPIXELS) != 0, c.hasAlpha);
        EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
    }
    // Through the driver: the flag, and the texture drawn. Generated again
    // with another alpha map (as the moon changes phase), the name takes the
    // new one; an alpha map that cannot be read leaves the last one.
    ASSERT_TRUE(d->GenerateTexture("plain.bmp", "cut_a.bmp"));
    EXPECT_TRUE(d->TextureHasBinaryAlpha("plain.bmp"));
    ASSERT_TRUE(d->GenerateTexture("plain.bmp", "soft_a.bmp"));
    EXPECT_FALSE(d->TextureHasBinaryAlpha("plain.bmp"));
    EXPECT_EQ(d->Textures().Find("plain.bmp")->alphaName, "soft_a.bmp");
    EXPECT_FALSE(log.Has("Error"));
    EXPECT_FALSE(d->GenerateTexture("plain.bmp", "gone_a.bmp"));
    EXPECT_EQ(d->Textures().Find("plain.bmp")->alphaName, "soft_a.bmp");
    EXPECT_EQ(d->Textures().Count(), 1);
    EXPECT_FALSE(d->TextureHasBinaryAlpha("never.bmp"));
    EXPECT_EQ(DrawnColour(d.get(), "plain.bmp"), 0x3366CCu);
}

TEST(Dx7Textures, WhatCannotBeReadIsLoggedAndDrawnUntextured) {
    test_common::TempDir dir("dx7bad", true);
    test_common::LogCapture log;
    const std::string base = dir.path() + "/";
    WriteTexture(base + "big.bmp", 32, 32, [](int, int) { return 0xFF0000u; });
    WriteTexture(base + "small_a.bmp", 16, 16, [](int, int) { return 0xFFFFFFu; });
    ASSERT_EQ(::mkdir((base + "frames").c_str(), 0755), 0);
    WriteTexture(base + "frames/one.bmp", 8, 8, [](int, int) { return 0x00FF00u; });
    test_common::WriteFile(base + "frames/lost.ifl", "one.bmp gone.bmp\n");
    test_common::WriteFile(base + "frames/noalpha.ifl", "one.bmp\n");
    test_common::WriteFile(base + "frames/empty.ifl", "40\n");
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    const struct {
        const char* name;
        const char* alpha;
        const char* line;
    } cases[] = {
        {nullptr, nullptr, "create texture - invalid params.."},
        {"", nullptr, "create texture - invalid params.."},
        {"missing.bmp", nullptr, "Error loading texture file missing.bmp"},
        {"big.BMP", nullptr, "Error loading texture file big.BMP"},
        {"big.bmp", "small_a.bmp", "Error creating alpha texture small_a.bmp"},
        {"big.bmp", "nothere_a.bmp", "Error creating alpha texture nothere_a.bmp"},
        {"frames\\nolist.ifl", nullptr, "texture list frames\\nolist.ifl not found"},
        {"frames\\noalpha.ifl", "frames\\nolist_a.ifl", "Alpha list not found"},
        {"frames\\lost.ifl", nullptr, "Error loading texture file frames\\gone.bmp"},
        {"frames\\empty.ifl", nullptr, "Error loading texture file frames\\empty.ifl"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(d->GenerateTexture(c.name, c.alpha)) << (c.name ? c.name : "null");
        EXPECT_TRUE(log.Has(c.line)) << c.line << "\n" << log.Text();
    }
    // Asked for by SetTexture, a missing one is tried again and drawn untextured.
    EXPECT_FALSE(d->SetTexture("missing.bmp"));
    EXPECT_EQ(DrawnColour(d.get(), "missing.bmp"), 0xFFFFFFu);
    EXPECT_EQ(log.Count("Error loading texture file missing.bmp"), 3);
    EXPECT_EQ(d->Textures().Count(), 0);
}

TEST(Dx7Textures, TextureListAdvancesOnTheMillisecondsClock) {
    test_common::TempDir dir("dx7ifl", true);
    test_common::LogCapture log;
    const std::string base = dir.path() + "/";
    ASSERT_EQ(::mkdir((base + "anim").c_str(), 0755), 0);
    const uint32_t colours[3] = {0xC00000u, 0x00C000u, 0x0000C0u};
    const char* names[3] = {"red.bmp", "green.bmp", "blue.bmp"};
    for (int i = 0; i < 3; ++i)
        WriteTexture(base + "anim/" + names[i], 16, 16,
                     std::bind(Solid, colours[i], std::placeholders::_1, std::placeholders::_2));
    // Bare names lie beside the list; the number is the time between frames.
    test_common::WriteFile(base + "anim/anim.ifl", "red.bmp\n250\ngreen.bmp anim\\blue.bmp\n");
    ManualClock clock;
    SetClockSource(&clock);
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->GenerateTexture("anim\\anim.ifl", nullptr));
    auto* list = d->Textures().Find("anim\\anim.ifl");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->frames.size(), 3u);
    EXPECT_EQ(list->interval, 250u);
    EXPECT_EQ(list->frames[2].file, "anim\\blue.bmp");
    // Each SetTexture moves on one frame once the interval has passed since
    // the last change, and wraps.
    const struct {
        uint32_t ms;
        int frame;
    } steps[] = {{1000, 0}, {1249, 0}, {1250, 1}, {1400, 1}, {1500, 2}, {1700, 2}, {1750, 0}, {5000, 1}};
    for (const auto& s : steps) {
        clock.ms = s.ms;
        EXPECT_EQ(DrawnColour(d.get(), "anim\\anim.ifl"), colours[s.frame]) << s.ms;
        EXPECT_EQ(list->current, s.frame) << s.ms;
    }
    // A frame chosen by its number.
    EXPECT_EQ(DrawnColour(d.get(), "anim\\anim.ifl", 2), colours[2]);
    EXPECT_FALSE(d->SetTextureFrame("anim\\anim.ifl", 3));
    EXPECT_FALSE(d->SetTextureFrame("anim\\anim.ifl", -1));
    SetClockSource(nullptr);
    EXPECT_FALSE(log.Has("Error"));
}

TEST(Dx7Textures, BitmapsComeFromTheArchiveFirst) {
    test_common::TempDir dir("dx7jf", true);
    test_common::LogCapture log;
    const std::string base = dir.path() + "/";
    WriteTexture(base + "packed.bmp", 8, 8, [](int, int) { return 0x2080F0u; });
    WriteTexture(base + "loose.bmp", 8, 8, [](int, int) { return 0xF08020u; });
    std::string bmp = test_common::ReadFile(base + "packed.bmp");
    std::vector<JfPackInput> files(3);
    files[0].name = "textures\\packed.bmp";
    files[0].data.assign(bmp.begin(), bmp.end());
    // The archive's copy of loose.bmp wins over the file on the disk.
    files[1].name = "LOOSE.BMP";
    files[1].data = files[0].data;
    // A damaged entry: the header promises more pixels than the entry holds.
    files[2].name = "textures\\broken.bmp";
    files[2].data.assign(bmp.begin(), bmp.begin() + 80);
    std::string error;
    ASSERT_TRUE(JfWriteArchive((base + "textures.jf").c_str(), files, &error)) << error;
    char saved[MAX_PATH];
    ASSERT_TRUE(_getcwd(saved, MAX_PATH));
    ASSERT_EQ(_chdir(base.c_str()), 0);
    JfInitialize("textures.jf");
    auto d = MakeDriver();
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->GenerateTexture("textures\\packed.bmp", nullptr));
    EXPECT_EQ(DrawnColour(d.get(), "textures\\packed.bmp"), 0x2080F0u);
    EXPECT_EQ(DrawnColour(d.get(), "loose.bmp"), 0x2080F0u);
    EXPECT_FALSE(d->GenerateTexture("textures\\broken.bmp", nullptr));
    EXPECT_TRUE(log.Has("Error loading texture file textures\\broken.bmp"));
    EXPECT_FALSE(d->GenerateTexture("textures\\gone.bmp", nullptr));
    EXPECT_TRUE(log.Has("Error in JfOpen - cannot find file 'textures\\gone.bmp'"));
    EXPECT_TRUE(log.Has("Error loading texture file textures\\gone.bmp"));
    JfShutdown();
    _chdir(saved);
}
