// The demo's characters: skinned figures on a fourteen-bone biped, their
// bodies lofted through rings that follow the bones (a ring on each side of
// a joint, so the skin between bends with it), a face whose eyelids, mouth
// and brows are morph targets in the slots the NPC entity drives (0 blink,
// 1 and 2 the mouth shapes, 9 the brows), and a looping animation file of
// breathing, weight shifting and a gesture.
#ifndef ZENDAR_TOOLS_MODELGEN_FIGURE_H
#define ZENDAR_TOOLS_MODELGEN_FIGURE_H

#include <string>

enum Gesture {
    GESTURE_HALT,       // one hand raised, palm out
    GESTURE_RUB_HANDS,  // both hands together before the belly
    GESTURE_SWEEP,      // one arm sweeps out as the tale is told
    GESTURE_OPEN_ARMS,  // both arms open in welcome
};

struct FigureStyle {
    const char* name;   // the model z1\<name>.z1 plays anims\<name>.anm
    const char* cloth;  // tunic or dress texture below characters\ (texgen)
    float hair[3];      // hair and brow colour
    bool dress;         // a long skirt to the ground instead of legs in hose
    bool helmet;        // an iron cap
    bool spear;         // held in the right hand
    bool apron;
    bool beard;
    Gesture gesture;
    float seconds;  // length of the loop
};

// Writes folder/z1/<name>.z1 and folder/anims/<name>.anm; false (with a
// message on stderr) when a file cannot be written.
bool WriteFigure(const std::string& folder, const FigureStyle& style);

// Bones of the biped, parents before children; "right" is the figure's own.
enum FigureBone {
    BONE_PELVIS,
    BONE_SPINE,
    BONE_NECK,
    BONE_HEAD,
    BONE_UPPERARM_R,
    BONE_FOREARM_R,
    BONE_HAND_R,
    BONE_UPPERARM_L,
    BONE_FOREARM_L,
    BONE_HAND_L,
    BONE_THIGH_R,
    BONE_SHIN_R,
    BONE_THIGH_L,
    BONE_SHIN_L,
    FIGURE_BONES
};

#endif
