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

AnimTrack::AnimTrack(int speed, int ticks, int last)
    : frameSpeed(speed), ticksPerFrame(ticks), lastFrame(last) {
    startTick = 0;
    endTick = lastFrame * ticksPerFrame;
    MatrixIdentity(pivotOut);
    MatrixIdentity(pivotIn);
    MatrixIdentity(running);
}

void AnimTrack::SetPivot(const VECTOR& p) {
    pivot = p;
    VECTOR e = EngineAxes(p);
    MatrixTranslation(pivotOut, -e.x, -e.y, -e.z);
    MatrixTranslation(pivotIn, e.x, e.y, e.z);
}

void AnimTrack::AddPositionKey(const AnimPosKey& key) { posKeys.push_back(key); }
void AnimTrack::AddRotationKey(const AnimRotKey& key) { rotKeys.push_back(key); }

void AnimTrack::Play(int32_t from, int32_t to, bool loop) {
    if (playing) return;
    LogLine("Animation %s is playing frame %i to %i", nodeName.c_str(), from, to);
    startTick = from;
    endTick = to > 0 ? to : lastFrame * ticksPerFrame;
    looping = loop ? 1 : 0;
    playing = 1;
    posStarted = false;
    rotStarted = false;
    LogLine(loop ? "is looping.." : "is NOT looping");
}

int32_t AnimTrack::CurrentTick(uint32_t startTime) const {
    if (frameSpeed <= 0) return startTick;
    double msPerFrame = 1000.0 / frameSpeed;
    double elapsed = static_cast<double>(ClockMilliseconds() - startTime);
    double tick = elapsed / msPerFrame * ticksPerFrame + startTick;
    // Hours of play at a fast tick rate must not run past the integer.
    if (tick > 2147483647.0) return 2147483647;
    if (tick < -2147483647.0) return -2147483647;
    return static_cast<int32_t>(tick);
}

int AnimTrack::FirstKeyFrom(int32_t tick, bool rotation) const {
    int n = rotation ? static_cast<int>(rotKeys.size()) : static_cast<int>(posKeys.size());
    for (int i = 0; i < n; i++) {
        int32_t t = rotation ? rotKeys[i].time : posKeys[i].time;
        if (t >= tick) return i;
    }
    return n - 1;
}

bool AnimTrack::EvaluatePosition(VECTOR& out) {
    if (posKeys.empty()) return false;
    if (posCursor < 0) posCursor = 0;
    const AnimPosKey* result = nullptr;
    VECTOR p;
    if (!playing) {
        result = &posKeys[posCursor];
        p = result->p;
    } else if (!posStarted) {
        posCursor = FirstKeyFrom(startTick, false);
        posStart = ClockMilliseconds();
        posStarted = true;
        p = posKeys[posCursor].p;
    } else {
        int32_t tick = CurrentTick(posStart);
        int n = static_cast<int>(posKeys.size());
        while (posCursor + 1 < n && posKeys[posCursor + 1].time < tick && posKeys[posCursor].time < endTick)
            posCursor++;
        bool ended = posCursor + 1 >= n || posKeys[posCursor].time >= endTick;
        if (ended && !looping) {
            playing = 0;
            posStarted = false;
            p = posKeys[posCursor].p;
        } else {
            if (ended) {
                tick -= posKeys[posCursor].time;
                posCursor = FirstKeyFrom(startTick, false);
                posStart = ClockMilliseconds();
                tick += posKeys[posCursor].time;
            }
            if (posCursor + 1 >= n) {
                p = posKeys[posCursor].p;
            } else {
                const AnimPosKey& k0 = posKeys[posCursor];
                const AnimPosKey& k1 = posKeys[posCursor + 1];
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
    MatrixMultiply(t, pivotOut, rot);
    MatrixMultiply(t, t, pivotIn);
    MatrixMultiply(inOut, t, inOut);
}

void AnimTrack::ReplayRotations(int upTo) {
    MatrixIdentity(running);
    for (int i = 0; i <= upTo && i < static_cast<int>(rotKeys.size()); i++)
        ApplyRotation(rotKeys[i], rotKeys[i].angle, running);
}

void AnimTrack::EvaluateRotation(MATRIX& out) {
    if (rotKeys.empty() || !playing) {
        out = running;
        return;
    }
    if (!rotStarted) {
        rotCursor = FirstKeyFrom(startTick, true);
        rotStart = ClockMilliseconds();
        rotStarted = true;
        ReplayRotations(rotCursor);
        out = running;
        return;
    }
    int32_t tick = CurrentTick(rotStart);
    int n = static_cast<int>(rotKeys.size());
    while (rotCursor + 1 < n && rotKeys[rotCursor + 1].time < tick && rotKeys[rotCursor].time < endTick) {
        rotCursor++;
        ApplyRotation(rotKeys[rotCursor], rotKeys[rotCursor].angle, running);
    }
    bool ended = rotCursor + 1 >= n || rotKeys[rotCursor].time >= endTick;
    if (ended) {
        if (!looping) {
            // The position list may still be running; only a track without
            // one stops here.
            if (posKeys.empty()) playing = 0;
            rotStarted = false;
            out = running;
            return;
        }
        tick -= rotKeys[rotCursor].time;
        rotCursor = FirstKeyFrom(startTick, true);
        rotStart = ClockMilliseconds();
        tick += rotKeys[rotCursor].time;
        ReplayRotations(rotCursor);
    }
    if (rotCursor + 1 >= n) {
        out = running;
        return;
    }
    const AnimRotKey& k0 = rotKeys[rotCursor];
    const AnimRotKey& k1 = rotKeys[rotCursor + 1];
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
