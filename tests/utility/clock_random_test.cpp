#include <gtest/gtest.h>

#include <vector>

#include "utility/clock.h"
#include "utility/random.h"

namespace {

TEST(Clock, FixedStepMovesOnlyWhenAdvanced) {
    UseFixedClock(25, 1000);
    EXPECT_EQ(ClockMilliseconds(), 1000u);
    EXPECT_FLOAT_EQ(ClockSeconds(), 1.0f);
    EXPECT_EQ(ClockMilliseconds(), 1000u);
    for (int i = 0; i < 4; ++i) AdvanceFixedClock();
    EXPECT_EQ(ClockMilliseconds(), 1100u);
    EXPECT_FLOAT_EQ(ClockSeconds(), 1.1f);
    UseFixedClock(0xffffffffu, 2);
    AdvanceFixedClock();  // milliseconds wrap like the multimedia timer
    EXPECT_EQ(ClockMilliseconds(), 1u);
    UseRealTimeClock();
}

TEST(FixedStepClock, MillisecondsFollowSecondsWithoutDrift) {
    FixedStepClock clock(1.0 / 60.0);
    EXPECT_EQ(clock.Milliseconds(), 0u);
    clock.Advance();
    EXPECT_EQ(clock.Milliseconds(), 17u);  // 16.67 rounded
    clock.Advance();
    EXPECT_EQ(clock.Milliseconds(), 33u);
    for (int i = 2; i < 6000; ++i) clock.Advance();
    // A whole-millisecond step would have drifted to 6000 * 17 = 102000.
    EXPECT_EQ(clock.Milliseconds(), 100000u);
    EXPECT_NEAR(clock.Seconds(), 100.0f, 1e-4f);
}

TEST(Clock, ReplaceableSourceAndRealTime) {
    struct Stub : ClockSource {
        float Seconds() override { return 12.5f; }
        uint32_t Milliseconds() override { return 777; }
    } stub;
    SetClockSource(&stub);
    EXPECT_EQ(GetClockSource(), &stub);
    EXPECT_EQ(ClockSeconds(), 12.5f);
    EXPECT_EQ(ClockMilliseconds(), 777u);
    AdvanceFixedClock();  // affects only the fixed source
    EXPECT_EQ(ClockMilliseconds(), 777u);
    SetClockSource(nullptr);
    float s0 = ClockSeconds();
    uint32_t m0 = ClockMilliseconds();
    volatile double sink = 0;
    for (int i = 0; i < 3000000; ++i) sink = sink + i;
    EXPECT_GE(ClockSeconds(), s0);
    EXPECT_GE(ClockMilliseconds(), m0);
}

// The sequence the 32-bit Windows C library's rand gives, so that seeded runs
// agree between the Linux and Windows builds: its first ten values after
// srand(1) (the state before any srand) and after srand(0).
TEST(Random, FollowsTheWindowsCLibrarySequence) {
    struct Case {
        unsigned seed;
        std::vector<int> values;
    };
    const Case cases[] = {
        {1, {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}},
        {0, {38, 7719, 21238, 2437, 8855, 11797, 8365, 32285, 10450, 30612}},
    };
    for (const Case& c : cases) {
        Z1SeedRandom(c.seed);
        for (size_t i = 0; i < c.values.size(); ++i) EXPECT_EQ(Z1Rand(), c.values[i]) << c.seed << " #" << i;
    }
}

TEST(Random, SeededSequencesRepeatAndStayIn15Bits) {
    Z1SeedRandom(1234);
    std::vector<int> a;
    for (int i = 0; i < 200; ++i) a.push_back(Z1Rand());
    Z1SeedRandom(1234);
    bool anyHigh = false;
    for (int i = 0; i < 200; ++i) {
        int v = Z1Rand();
        EXPECT_EQ(v, a[i]);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 32767);
        anyHigh = anyHigh || v > 16383;
    }
    EXPECT_TRUE(anyHigh);
    Z1SeedRandom(99);
    int differ = 0;
    for (int i = 0; i < 200; ++i) differ += Z1Rand() != a[i];
    EXPECT_GT(differ, 150);
}

}  // namespace
