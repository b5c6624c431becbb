// compare_frames REFERENCE.png ACTUAL.png: the golden-image comparison of two
// screenshots, for the end-to-end runs that compare the Windows build's frame
// with the Linux build's. The Windows window shows the frame's lower rows only
// (the menu bar takes the top of the client area), so an ACTUAL lower than
// REFERENCE is compared with REFERENCE's bottom rows. Exit 0 when within the
// golden tolerance, 1 when not, 2 when a file cannot be read.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/golden_image.h"
#include "gfxdriver/opengldriver/screenshot.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare_frames REFERENCE.png ACTUAL.png\n");
        return 2;
    }
    int rw = 0, rh = 0, aw = 0, ah = 0;
    std::vector<uint8_t> reference, actual;
    if (!ReadPNG(argv[1], &rw, &rh, &reference) || !ReadPNG(argv[2], &aw, &ah, &actual)) {
        std::fprintf(stderr, "compare_frames: cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    if (aw != rw || ah > rh || ah < rh - 40) {
        std::fprintf(stderr, "compare_frames: sizes %dx%d and %dx%d do not match\n", rw, rh, aw, ah);
        return 1;
    }
    const size_t skip = static_cast<size_t>(rh - ah) * rw * 3;
    long bad = 0;
    int worst = 0;
    for (size_t i = 0; i < actual.size(); i += 3) {
        int diff = 0;
        for (int c = 0; c < 3; ++c) diff = std::max(diff, std::abs(actual[i + c] - reference[skip + i + c]));
        worst = std::max(worst, diff);
        if (diff > test_common::kGoldenTolerance) ++bad;
    }
    const long allowed = static_cast<long>(test_common::kGoldenMaxBadFraction * aw * ah);
    std::printf("%ld of %d pixels differ by more than %d (worst %d, allowed %ld); %d top rows not shown\n",
                bad, aw * ah, test_common::kGoldenTolerance, worst, allowed, rh - ah);
    return bad > allowed ? 1 : 0;
}
