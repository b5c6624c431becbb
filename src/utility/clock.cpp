#include "utility/clock.h"

#include <chrono>
#include <cmath>

FixedStepClock::FixedStepClock(double stepSeconds, double startSeconds)
    : step_(stepSeconds), start_(startSeconds) {}

float FixedStepClock::Seconds() { return static_cast<float>(Now()); }

uint32_t FixedStepClock::Milliseconds() {
    long long ms = std::llround(Now() * 1000.0);
    return static_cast<uint32_t>(static_cast<uint64_t>(ms) & 0xFFFFFFFFu);
}

namespace {

class RealTimeClock : public ClockSource {
public:
    RealTimeClock() : start_(std::chrono::steady_clock::now()) {}
    float Seconds() override {
        std::chrono::duration<double> d = std::chrono::steady_clock::now() - start_;
        return static_cast<float>(d.count());
    }
    uint32_t Milliseconds() override {
        auto d =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
        return static_cast<uint32_t>(d.count());
    }

private:
    std::chrono::steady_clock::time_point start_;
};

RealTimeClock& RealTime() {
    static RealTimeClock clock;
    return clock;
}

FixedStepClock g_fixed;
ClockSource* g_source = nullptr;

ClockSource* Current() { return g_source ? g_source : &RealTime(); }

}  // namespace

float ClockSeconds() { return Current()->Seconds(); }

uint32_t ClockMilliseconds() { return Current()->Milliseconds(); }

void SetClockSource(ClockSource* source) { g_source = source; }

ClockSource* GetClockSource() { return Current(); }

void UseRealTimeClock() { g_source = nullptr; }

void UseFixedClock(uint32_t step_ms, uint32_t start_ms) {
    g_fixed = FixedStepClock(step_ms / 1000.0, start_ms / 1000.0);
    g_source = &g_fixed;
}

void AdvanceFixedClock() { g_fixed.Advance(); }
