// Input replay: keyboard and mouse events at frame numbers, fed to the input
// driver as if they came from the device, and scripted answers for message
// boxes and dialogs. The text format is described in docs/harness.md:
//
//   # comment
//   FRAME key down CODE          CODE: DirectInput key code 0..255 (1 = Esc)
//   FRAME key up CODE
//   FRAME mouse move DX DY [DZ]  relative motion (DZ: wheel)
//   FRAME mouse button N down    N: 0 left, 1 right, 2 middle, 3 fourth
//   FRAME mouse button N up
//   answer yes|no|ok|cancel      for the next box or dialog, in file order
//   answer file PATH             the next file dialog returns PATH
//   answer field LABEL = VALUE   sets a field of the next dialog before its 'answer ok'
//
// The input driver takes the events due at the frame it is reading, through
// ReplayInputFeed (harness.h, also for the frame numbers); the dialog calls
// take the answers.
#ifndef ZENDAR_OS_REPLAY_H
#define ZENDAR_OS_REPLAY_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum ReplayEventType {
    REPLAY_KEY,
    REPLAY_MOUSE_MOVE,
    REPLAY_MOUSE_BUTTON,
};

struct ReplayEvent {
    int frame = 0;
    ReplayEventType type = REPLAY_KEY;
    int code = 0;                // key: DirectInput code; mouse button: 0..3
    bool pressed = false;        // key and mouse button
    int dx = 0, dy = 0, dz = 0;  // mouse move
    int line = 0;                // line in the replay file
};

enum ReplayAnswerType {
    ANSWER_YES,
    ANSWER_NO,
    ANSWER_OK,
    ANSWER_CANCEL,
    ANSWER_FILE,
};

struct ReplayAnswer {
    ReplayAnswerType type = ANSWER_OK;
    std::string path;  // ANSWER_FILE
    // ANSWER_OK: field values to set first (label, value), in file order.
    std::vector<std::pair<std::string, std::string>> fields;
    int line = 0;
};

const char* ReplayAnswerName(ReplayAnswerType type);

class Replay {
public:
    // Parses replay text. On failure returns false with "line N: ..." in *error
    // and keeps nothing of the text.
    bool Parse(const std::string& text, std::string* error);
    // Reads and parses a file; a file that cannot be read fails with
    // "cannot read replay file 'NAME'".
    bool Load(const char* path, std::string* error);

    // Input events: the next event due at or before frame, in frame order (file
    // order within a frame). Returns false when none is due.
    bool NextInputEvent(int frame, ReplayEvent* out);
    bool HasInputEvents() const { return nextEvent_ < events_.size(); }
    // The same key events as seen by the window (accelerators such as Esc):
    // a key press reaches both the window and the device, so the window layer
    // reads them through a cursor of its own.
    bool NextWindowKey(int frame, ReplayEvent* out);
    const std::vector<ReplayEvent>& Events() const { return events_; }

    // Answers, consumed in file order.
    const ReplayAnswer* FrontAnswer() const;
    void PopAnswer();
    size_t AnswersLeft() const { return answers_.size() - nextAnswer_; }

private:
    std::vector<ReplayEvent> events_;
    size_t nextEvent_ = 0;
    size_t nextWindowKey_ = 0;
    std::vector<ReplayAnswer> answers_;
    size_t nextAnswer_ = 0;
};

// The replay of this run; null when the program runs without one. Set by the
// platform layer before the services are created.
extern Replay* g_replay;

#endif
