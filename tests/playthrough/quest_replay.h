// The demo's quest as a replay (docs/harness.md), at fixed frame numbers with
// a fixed frame step of 0.02 s: shared by the playthrough of the Linux build
// and the DirectX 7 driver's run of the Windows build.
//
// The walk: the player starts at (-1400, 0) looking east (+x). The camp fire
// at (0, 0) stands on the square's centre line and stops a walker, so on the
// way he steps aside with Right (to about z = -165, the fire's stones end
// 67 units out) and back with Left; holding Up for 126 frames stops him at
// about x = 978, back on the centre line.
// Turning by -319 mouse counts (0.002 rad each) faces the guard at
// (1420, 330); 20 counts down aim at his chest. In the conversation the
// pointer is first pushed into the top-left corner and then moved to
// (100, 55) in the 640 x 480 screen (0.4 and 0.6 units per count), inside
// the text boxes at (50, 50) and on the first answer of the question.
// The tower's scripts put the player just inside the hall's door, looking
// on at the keeper, and back in the yard before the tower.
#ifndef ZENDAR_TESTS_PLAYTHROUGH_QUEST_REPLAY_H
#define ZENDAR_TESTS_PLAYTHROUGH_QUEST_REPLAY_H

#include <string>

namespace quest_replay {

// Across the square from the start, around the camp fire, until Up is let
// go at frame stop (142: before the gate, 112: just past the fire, at about
// (389, -20)).
inline std::string AcrossTheSquare(int stop) {
    return "16 key down 200\n"
           "60 key down 205\n"
           "70 key up 205\n"
           "94 key down 203\n"
           "104 key up 203\n" +
           std::to_string(stop) + " key up 200\n";
}

// The first part of every run: across the square to the guard, turned to him.
inline std::string WalkToGuard() { return AcrossTheSquare(142) + "150 mouse move -319 20\n"; }

// A click held for three frames: the player update reads the mouse 35 times
// a second, so a press and release within one read would cancel out.
inline std::string Click(int frame) {
    return std::to_string(frame) + " mouse button 0 down\n" + std::to_string(frame + 3) +
           " mouse button 0 up\n";
}

// The guard's conversation: his greeting, the question (first answer: "I
// would like to see the tower."), and his line handing over the key.
inline std::string TalkToGuard() {
    return Click(156) +
           "165 mouse move -2000 -2000\n"
           "166 mouse move 250 92\n" +
           Click(170) + Click(176) + Click(182);
}

// From the guard back to the gate (yaw 0, level), a click on it, and the walk
// east once it has swung open.
inline std::string OpenGateAndWalkThrough() {
    return "190 mouse move 319 -20\n" + Click(194) +
           "300 key down 200\n"
           "350 key up 200\n";
}

// Esc, Yes at frame, the credits, and a click that leaves them.
inline std::string Quit(int frame) {
    return std::to_string(frame) + " key down 1\n" + std::to_string(frame) + " key up 1\nanswer yes\n" +
           std::to_string(frame + 8) + " mouse button 0 down\n" + std::to_string(frame + 9) +
           " mouse button 0 up\n";
}

// From the yard, a click on the tower's door; in the hall, a little lower
// at the keeper, his welcome, "The storyteller says the tower lost its
// bell." (the seal and the end of the quest), his next line, "Goodbye." (the
// second answer), his farewell; then about face and a click on the hall's
// door, back to the yard.
inline std::string IntoTheTowerAndBack() {
    return Click(354) + "420 mouse move 0 12\n" + Click(426) +
           "435 mouse move -2000 -2000\n"
           "436 mouse move 250 92\n" +
           Click(440) + Click(446) + Click(452) + Click(458) + "462 mouse move 0 22\n" + Click(466) +
           Click(472) + "480 mouse move 1571 -12\n" + Click(486);
}

// The whole quest: the key from the guard, the gate, the tower and back,
// then Esc and Yes at frame 520 (580 frames in all).
inline std::string WholeQuest() {
    return WalkToGuard() + TalkToGuard() + OpenGateAndWalkThrough() + IntoTheTowerAndBack() + Quit(520);
}

}  // namespace quest_replay

#endif
