// Bone animation: the skeleton of a skinned model posed from an ANM file of
// sampled frames (25 per second, always looping). Each pose is one matrix per
// bone; the model runtime applies it to the vertices bound to that bone.
#ifndef ZENDAR_ANIMATION_BIPED_H
#define ZENDAR_ANIMATION_BIPED_H

#include <cstdint>
#include <string>
#include <vector>

#include "math/zmath.h"

struct BipedBone {
    std::string name;
    int16_t parent;  // -1 = root; parents come before their children
    VECTOR first;    // rest position, relative to the parent
    VECTOR second;   // rest rotation angles
    float length;    // |first|
};

class Biped {
public:
    explicit Biped(const std::vector<BipedBone>& bones);

    // Reads "anims\" + name. False (and no frames) when the file does not
    // open, does not fit the skeleton or is cut short.
    bool LoadAnm(const char* name);
    bool LoadAnmPath(const char* path);
    void Start();
    // One matrix per bone for now: the bind matrices without frames.
    const MATRIX* Pose();

    int BoneCount() const { return static_cast<int>(bones.size()); }
    const MATRIX* BindMatrices() const { return bind.data(); }
    const MATRIX* InverseBindMatrices() const { return inverseBind.data(); }

    std::vector<BipedBone> bones;
    int16_t frameCount = 0;
    // frames[f * bones * 6 + b * 6 + k]: position x, y, z, angles r1, r2, r3.
    std::vector<float> frames;
    std::vector<MATRIX> bind;
    std::vector<MATRIX> inverseBind;
    std::vector<MATRIX> pose;
    static constexpr int kFramesPerSecond = 25;
    uint8_t playing = 0;
    uint8_t interpolate = 1;
    uint32_t startTime = 0;
    int currentFrame = 0;

private:
    // The bone's matrix from six values: rotation from the angles with the
    // position as its translation row.
    static void BoneMatrix(MATRIX& out, const QUATERNION* q, float ax, float ay, float az, const VECTOR& pos);
    bool posed = false;
    float currentFraction_ = 0.0f;
};

#endif
