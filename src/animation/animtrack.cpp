#include "animation/animtrack.h"

#include "utility/clock.h"
#include "utility/log.h"

namespace {

// File axes to engine axes: the second and third are exchanged.
VECTOR EngineAxes(const VECTOR& v) { return VECTOR{v.x, v.z, v.y}; }

float Fraction(int32_t t0, int32_t t1, int32_t tick) {
    if (t1 == t0) return 1.0f;
    return 1.0f - static_cast<float>(t1 - tick) / static_cast<float>(t1 - t0);
}

}  // namespace

AnimTrack::AnimTrack(int frameSpeed, int ticksPerFrame, int lastFrame)
    : frame_speed(frameSpeed), ticks_per_frame(ticksPerFrame), last_frame(lastFrame) {
    start_tick = 0;
    end_tick = last_frame * ticks_per_frame;
    MatrixIdentity(pivot_out);
    MatrixIdentity(pivot_in);
    MatrixIdentity(running);
}

void AnimTrack::SetPivot(const VECTOR& p) {
    pivot = p;
    VECTOR e = EngineAxes(p);
    MatrixTranslation(pivot_out, -e.x, -e.y, -e.z);
    MatrixTranslation(pivot_in, e.x, e.y, e.z);
}

void AnimTrack::AddPositionKey(const AnimPosKey& key) { pos_keys.push_back(key); }
void AnimTrack::AddRotationKey(const AnimRotKey& key) { rot_keys.push_back(key); }

void AnimTrack::Play(int32_t startTick, int32_t endTick, bool loop) {
    if (playing) return;
    LogLine("Animation %s is playing frame %i to %i", node_name.c_str(), startTick, endTick);
    start_tick = startTick;
    end_tick = endTick > 0 ? endTick : last_frame * ticks_per_frame;
    looping = loop ? 1 : 0;
    playing = 1;
    pos_started = false;
    rot_started = false;
    LogLine(loop ? "is looping.." : "is NOT looping");
}

int32_t AnimTrack::CurrentTick(uint32_t startTime) const {
    if (frame_speed <= 0) return start_tick;
    double msPerFrame = 1000.0 / frame_speed;
    double elapsed = static_cast<double>(ClockMilliseconds() - startTime);
    double tick = elapsed / msPerFrame * ticks_per_frame + start_tick;
    // Hours of play at a fast tick rate must not run past the integer.
    if (tick > 2147483647.0) return 2147483647;
    if (tick < -2147483647.0) return -2147483647;
    return static_cast<int32_t>(tick);
}

int AnimTrack::FirstKeyFrom(int32_t tick, bool rotation) const {
    int n = rotation ? static_cast<int>(rot_keys.size()) : static_cast<int>(pos_keys.size());
    for (int i = 0; i < n; i++) {
        int32_t t = rotation ? rot_keys[i].time : pos_keys[i].time;
        if (t >= tick) return i;
    }
    return n - 1;
}

bool AnimTrack::EvaluatePosition(VECTOR& out) {
    if (pos_keys.empty()) return false;
    if (pos_cursor < 0) pos_cursor = 0;
    const AnimPosKey* result = nullptr;
    VECTOR p;
    if (!playing) {
        result = &pos_keys[pos_cursor];
        p = result->p;
    } else if (!pos_started) {
        pos_cursor = FirstKeyFrom(start_tick, false);
        pos_start = ClockMilliseconds();
        pos_started = true;
        p = pos_keys[pos_cursor].p;
    } else {
        int32_t tick = CurrentTick(pos_start);
        int n = static_cast<int>(pos_keys.size());
        while (pos_cursor + 1 < n && pos_keys[pos_cursor + 1].time < tick &&
               pos_keys[pos_cursor].time < end_tick)
            pos_cursor++;
        bool ended = pos_cursor + 1 >= n || pos_keys[pos_cursor].time >= end_tick;
        if (ended && !looping) {
            playing = 0;
            pos_started = false;
            p = pos_keys[pos_cursor].p;
        } else {
            if (ended) {
                tick -= pos_keys[pos_cursor].time;
                pos_cursor = FirstKeyFrom(start_tick, false);
                pos_start = ClockMilliseconds();
                tick += pos_keys[pos_cursor].time;
            }
            if (pos_cursor + 1 >= n) {
                p = pos_keys[pos_cursor].p;
            } else {
                const AnimPosKey& k0 = pos_keys[pos_cursor];
                const AnimPosKey& k1 = pos_keys[pos_cursor + 1];
                float h = Fraction(k0.time, k1.time, tick);
                if (k1.kind == ANIMKEY_POS_SPLINE) {
                    float h2 = h * h, h3 = h2 * h;
                    float a = 2 * h3 - 3 * h2 + 1, b = -2 * h3 + 3 * h2, c = h3 - 2 * h2 + h, d = h3 - h2;
                    p = k0.p * a + k1.p * b + k0.extra2 * c + k1.extra2 * d;
                } else {
                    p = k0.p + (k1.p - k0.p) * h;
                }
            }
        }
    }
    out = VECTOR{p.x - pivot.x, p.z - pivot.z, p.y - pivot.y};
    return true;
}

void AnimTrack::ApplyRotation(const AnimRotKey& key, float angle, MATRIX& inOut) const {
    MATRIX rot, t;
    MatrixRotationAxis(rot, VECTOR{-key.axis.x, -key.axis.z, -key.axis.y}, angle);
    MatrixMultiply(t, pivot_out, rot);
    MatrixMultiply(t, t, pivot_in);
    MatrixMultiply(inOut, t, inOut);
}

void AnimTrack::ReplayRotations(int upTo) {
    MatrixIdentity(running);
    for (int i = 0; i <= upTo && i < static_cast<int>(rot_keys.size()); i++)
        ApplyRotation(rot_keys[i], rot_keys[i].angle, running);
}

void AnimTrack::EvaluateRotation(MATRIX& out) {
    if (rot_keys.empty() || !playing) {
        out = running;
        return;
    }
    if (!rot_started) {
        rot_cursor = FirstKeyFrom(start_tick, true);
        rot_start = ClockMilliseconds();
        rot_started = true;
        ReplayRotations(rot_cursor);
        out = running;
        return;
    }
    int32_t tick = CurrentTick(rot_start);
    int n = static_cast<int>(rot_keys.size());
    while (rot_cursor + 1 < n && rot_keys[rot_cursor + 1].time < tick &&
           rot_keys[rot_cursor].time < end_tick) {
        rot_cursor++;
        ApplyRotation(rot_keys[rot_cursor], rot_keys[rot_cursor].angle, running);
    }
    bool ended = rot_cursor + 1 >= n || rot_keys[rot_cursor].time >= end_tick;
    if (ended) {
        if (!looping) {
            // The position list may still be running; only a track without
            // one stops here.
            if (pos_keys.empty()) playing = 0;
            rot_started = false;
            out = running;
            return;
        }
        tick -= rot_keys[rot_cursor].time;
        rot_cursor = FirstKeyFrom(start_tick, true);
        rot_start = ClockMilliseconds();
        tick += rot_keys[rot_cursor].time;
        ReplayRotations(rot_cursor);
    }
    if (rot_cursor + 1 >= n) {
        out = running;
        return;
    }
    const AnimRotKey& k0 = rot_keys[rot_cursor];
    const AnimRotKey& k1 = rot_keys[rot_cursor + 1];
    float h = Fraction(k0.time, k1.time, tick);
    float theta;
    if (k1.kind == ANIMKEY_ROT_SPLINE) {
        float a = (1 - k0.params[2]) * (1 - k0.params[4]);
        float e0 = a * (1 - k0.params[3]) * 0.5f * k1.angle;
        float e1 = a * (1 + k0.params[3]) * 0.5f * k1.angle;
        float h2 = h * h, h3 = h2 * h;
        theta = (-2 * h3 + 3 * h2) * k1.angle + (h3 - 2 * h2 + h) * e0 + (h3 - h2) * e1;
    } else {
        theta = h * k1.angle;
    }
    out = running;
    ApplyRotation(k1, theta, out);
}

void AnimTrack::EvaluateNode(MATRIX& out) {
    MATRIX rot;
    EvaluateRotation(rot);
    VECTOR offset{0, 0, 0};
    EvaluatePosition(offset);
    MATRIX tr;
    MatrixTranslation(tr, offset);
    MatrixMultiply(out, rot, tr);
}
