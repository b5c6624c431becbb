// The engine's two clocks: seconds for frame timing and milliseconds for
// animation, the day cycle and script sleeps. Both read one replaceable
// source so that the platform layer (its real-time clocks), the harness (a
// fixed frame step), tools and tests can drive time.
//
//   ClockSeconds()/ClockMilliseconds()  read the current source.
//   SetClockSource(src)                 installs a source (not owned); null
//                                       restores the real-time source.
//   UseFixedClock(step_ms, start_ms)    installs the built-in fixed-step source:
//                                       both clocks stand still at start_ms
//                                       until AdvanceFixedClock() moves them by
//                                       step_ms (call it once per frame).
//   UseRealTimeClock()                  back to the real-time source
//                                       (std::chrono::steady_clock, counted from
//                                       the first clock read of the process).
#ifndef ZENDAR_UTILITY_CLOCK_H
#define ZENDAR_UTILITY_CLOCK_H

#include <cstdint>

class ClockSource {
public:
    virtual ~ClockSource() = default;
    virtual float Seconds() = 0;
    virtual uint32_t Milliseconds() = 0;
};

// Both clocks stand at the start until Advance moves them on by one step. The
// time is kept in seconds and the milliseconds are derived from it (rounded),
// so a step that is no whole number of milliseconds (1/60 s) never lets the
// two drift apart however many frames run; the milliseconds wrap like the
// multimedia timer.
class FixedStepClock : public ClockSource {
public:
    explicit FixedStepClock(double stepSeconds = 0.0, double startSeconds = 0.0);
    float Seconds() override;
    uint32_t Milliseconds() override;
    void Advance() { ++steps_; }
    uint64_t Steps() const { return steps_; }

private:
    double Now() const { return start_ + static_cast<double>(steps_) * step_; }

    double step_;
    double start_;
    uint64_t steps_ = 0;
};

float ClockSeconds();
uint32_t ClockMilliseconds();

void SetClockSource(ClockSource* source);
ClockSource* GetClockSource();

void UseRealTimeClock();
void UseFixedClock(uint32_t step_ms, uint32_t start_ms = 0);
// Advances the built-in fixed-step source by one step (no effect on other
// sources).
void AdvanceFixedClock();

#endif
