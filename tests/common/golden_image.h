// Whole frames compared with reference pictures: a small per-channel
// tolerance absorbs rasteriser rounding, and a frame that differs is written
// beside the test's temp files for a look. ZENDAR_UPDATE_GOLDEN=1 rewrites
// the reference instead.
// Header-only: reading the frame back needs the graphics driver module, which
// the common test library does not link.
#ifndef ZENDAR_TESTS_COMMON_GOLDEN_IMAGE_H
#define ZENDAR_TESTS_COMMON_GOLDEN_IMAGE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfxdriver/opengldriver/screenshot.h"

namespace test_common {

const int kGoldenTolerance = 8;              // per channel
const double kGoldenMaxBadFraction = 0.002;  // of all pixels

// Compares the back buffer (width x height) with the PNG at reference; name
// labels the failure, and a differing frame goes to <temp>/<actualLeaf>.
inline void CompareFrameWithReference(const std::string& reference, const std::string& name,
                                      const std::string& actualLeaf, int width, int height) {
    std::vector<uint8_t> actual;
    ASSERT_TRUE(ReadFrameRGB(width, height, false, &actual));
    const char* update = std::getenv("ZENDAR_UPDATE_GOLDEN");
    if (update && *update == '1') {
        ASSERT_TRUE(WritePNG(reference.c_str(), width, height, actual.data()));
        return;
    }
    int w = 0, h = 0;
    std::vector<uint8_t> expected;
    ASSERT_TRUE(ReadPNG(reference.c_str(), &w, &h, &expected)) << "missing " << reference;
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    long bad = 0;
    int worst = 0;
    for (size_t i = 0; i < actual.size(); i += 3) {
        int diff = 0;
        for (int c = 0; c < 3; ++c) diff = std::max(diff, std::abs(actual[i + c] - expected[i + c]));
        worst = std::max(worst, diff);
        if (diff > kGoldenTolerance) ++bad;
    }
    if (bad > static_cast<long>(kGoldenMaxBadFraction * width * height)) {
        const std::string out = ::testing::TempDir() + actualLeaf;
        WritePNG(out.c_str(), width, height, actual.data());
        ADD_FAILURE() << name << ": " << bad << " pixels differ by more than " << kGoldenTolerance
                      << " (worst " << worst << "); frame written to " << out;
    }
}

}  // namespace test_common

#endif
