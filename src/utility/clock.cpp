#include "utility/clock.h"

#include <chrono>

namespace {

class RealTimeClock : public ClockSource {
public:
    RealTimeClock() : start(std::chrono::steady_clock::now()) {}
    float Seconds() override {
        std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
        return static_cast<float>(d.count());
    }
    uint32_t Milliseconds() override {
        auto d =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        return static_cast<uint32_t>(d.count());
    }

private:
    std::chrono::steady_clock::time_point start;
};

class FixedStepClock : public ClockSource {
public:
    float Seconds() override { return static_cast<float>(static_cast<double>(now_ms) / 1000.0); }
    uint32_t Milliseconds() override { return now_ms; }
    uint32_t step_ms = 0;
    uint32_t now_ms = 0;
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
    g_fixed.step_ms = step_ms;
    g_fixed.now_ms = start_ms;
    g_source = &g_fixed;
}

void AdvanceFixedClock() { g_fixed.now_ms += g_fixed.step_ms; }
