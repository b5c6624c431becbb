#include "animation/biped.h"

#include <cmath>
#include <string>

#include "utility/clock.h"
#include "utility/datafile.h"
#include "utility/log.h"

Biped::Biped(const std::vector<BipedBone>& boneList) : bones(boneList) {
    const int n = BoneCount();
    bind.resize(n);
    inverseBind.resize(n);
    pose.resize(n);
    for (int i = 0; i < n; i++) {
        BipedBone& b = bones[i];
        // A parent that does not come before its child cannot be composed.
        if (b.parent >= i) b.parent = -1;
        MATRIX local;
        BoneMatrix(local, nullptr, b.second.x, b.second.y, b.second.z, b.first);
        if (b.parent >= 0)
            MatrixMultiply(bind[i], local, bind[b.parent]);
        else
            bind[i] = local;
        if (!MatrixInvertAffine(inverseBind[i], bind[i])) MatrixIdentity(inverseBind[i]);
        pose[i] = bind[i];
    }
}

void Biped::BoneMatrix(MATRIX& out, const QUATERNION* q, float ax, float ay, float az, const VECTOR& pos) {
    if (q)
        MatrixFromQuaternion(out, *q);
    else
        MatrixRotationEuler(out, ax, ay, az);
    out[12] = pos.x;
    out[13] = pos.y;
    out[14] = pos.z;
}

bool Biped::LoadAnm(const char* name) {
    std::string path = std::string("anims\\") + (name ? name : "");
    return LoadAnmPath(path.c_str());
}

bool Biped::LoadAnmPath(const char* path) {
    DataFile f;
    if (!f.Open(path)) {
        LogLine("ERROR - Could not open ANM file %s", path);
        return false;
    }
    int16_t fc = f.ReadShort();
    int16_t bc = f.ReadShort();
    if (bc != BoneCount()) {
        LogLine("cannot load %s into animation because the animation does not fit the biped", path);
        // Frames of an earlier animation are not kept: the biped falls back
        // to its bind pose.
        frames.clear();
        frameCount = 0;
        playing = 0;
        pose.assign(bind.begin(), bind.end());
        posed = false;
        f.Close();
        return false;
    }
    long need = static_cast<long>(fc < 0 ? 0 : fc) * bc * 6 * 4;
    if (f.AtEnd() || fc <= 0 || f.Size() - f.Tell() < need) {
        LogLine("ERROR - ANM file %s is too short", path);
        f.Close();
        return false;
    }
    frames.resize(static_cast<size_t>(fc) * bc * 6);
    for (float& v : frames) v = f.ReadFloat();
    frameCount = fc;
    pose.assign(bind.begin(), bind.end());
    posed = false;
    f.Close();
    return true;
}

void Biped::Start() {
    if (frameCount <= 0) {
        LogLine("Cannot start animation because none is loaded");
        return;
    }
    startTime = ClockMilliseconds();
    playing = 1;
}

const MATRIX* Biped::Pose() {
    if (frameCount <= 0) return bind.data();
    int frame = currentFrame;
    float fraction = currentFraction_;
    if (playing) {
        float ft =
            static_cast<float>(ClockMilliseconds() - startTime) / static_cast<float>(1000 / kFramesPerSecond);
        frame = static_cast<int>(ft);
        fraction = ft - static_cast<float>(frame);
        frame %= frameCount;
    }
    if (posed && frame == currentFrame && fraction == currentFraction_) return pose.data();
    const int n = BoneCount();
    const int next = (frame + 1) % frameCount;
    for (int i = 0; i < n; i++) {
        const BipedBone& b = bones[i];
        const float* v0 = &frames[(static_cast<size_t>(frame) * n + i) * 6];
        VECTOR pos{v0[0], v0[1], v0[2]};
        MATRIX m;
        if (fraction != 0.0f && interpolate) {
            const float* v1 = &frames[(static_cast<size_t>(next) * n + i) * 6];
            QUATERNION q0, q1, q;
            QuaternionFromEuler(q0, v0[3], v0[4], v0[5]);
            QuaternionFromEuler(q1, v1[3], v1[4], v1[5]);
            QuaternionSlerp(q, q0, q1, fraction);
            float len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
            if (len > 0.0f) {
                q.x /= len;
                q.y /= len;
                q.z /= len;
                q.w /= len;
            }
            VECTOR p1{v1[0], v1[1], v1[2]};
            pos = pos * (1.0f - fraction) + p1 * fraction;
            if (b.parent >= 0 && std::fabs(VectorLength(pos) - b.length) >= 0.01f && VectorLength(pos) > 0.0f)
                VectorSetLength(pos, b.length);
            BoneMatrix(m, &q, 0, 0, 0, pos);
        } else {
            if (b.parent >= 0 && std::fabs(VectorLength(pos) - b.length) >= 0.01f && VectorLength(pos) > 0.0f)
                VectorSetLength(pos, b.length);
            BoneMatrix(m, nullptr, v0[3], v0[4], v0[5], pos);
        }
        if (b.parent >= 0)
            MatrixMultiply(pose[i], m, pose[b.parent]);
        else
            pose[i] = m;
    }
    currentFrame = frame;
    currentFraction_ = fraction;
    posed = true;
    return pose.data();
}
