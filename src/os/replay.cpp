#include "os/replay.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "utility/fileio.h"

Replay* g_replay = nullptr;

const char* ReplayAnswerName(ReplayAnswerType type) {
    switch (type) {
    case ANSWER_YES: return "yes";
    case ANSWER_NO: return "no";
    case ANSWER_OK: return "ok";
    case ANSWER_CANCEL: return "cancel";
    case ANSWER_FILE: return "file";
    }
    return "?";
}

namespace {

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
    return s.substr(a, b - a);
}

std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> words;
    std::istringstream in(s);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

bool ToInt(const std::string& text, long min, long max, int* out) {
    if (text.empty()) return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i >= text.size()) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    errno = 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || v < min || v > max) return false;
    *out = static_cast<int>(v);
    return true;
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

bool ParseUpDown(const std::string& word, bool* pressed) {
    if (word == "down")
        *pressed = true;
    else if (word == "up")
        *pressed = false;
    else
        return false;
    return true;
}

}  // namespace

bool Replay::Parse(const std::string& text, std::string* error) {
    std::vector<ReplayEvent> new_events;
    std::vector<ReplayAnswer> new_answers;
    std::vector<std::pair<std::string, std::string>> pending_fields;
    int pending_fields_line = 0;

    std::istringstream in(text);
    std::string raw;
    int line_no = 0;
    auto fail = [&](const std::string& message) {
        *error = "line " + std::to_string(line_no) + ": " + message;
        return false;
    };

    while (std::getline(in, raw)) {
        ++line_no;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> w = Words(line);
        // A line of other white space (vertical tab, form feed) is blank too.
        if (w.empty()) continue;

        if (w[0] == "answer") {
            if (w.size() < 2)
                return fail("answer needs yes, no, ok, cancel, file PATH or field LABEL = VALUE");
            ReplayAnswer a;
            a.line = line_no;
            const std::string& kind = w[1];
            if (kind == "field") {
                // Everything after "field" up to " = " is the label, the rest the value.
                size_t start = line.find("field") + 5;
                std::string rest = line.substr(start);
                size_t eq = rest.find('=');
                std::string label = eq == std::string::npos ? "" : Trim(rest.substr(0, eq));
                if (eq == std::string::npos || label.empty()) return fail("answer field needs LABEL = VALUE");
                if (pending_fields.empty()) pending_fields_line = line_no;
                pending_fields.emplace_back(label, Trim(rest.substr(eq + 1)));
                continue;
            }
            if (kind == "file") {
                size_t start = line.find("file") + 4;
                a.type = ANSWER_FILE;
                a.path = Trim(line.substr(start));
                if (a.path.empty()) return fail("answer file needs a path");
            } else {
                if (w.size() != 2) return fail("unexpected text after " + Q("answer " + kind));
                if (kind == "yes")
                    a.type = ANSWER_YES;
                else if (kind == "no")
                    a.type = ANSWER_NO;
                else if (kind == "ok")
                    a.type = ANSWER_OK;
                else if (kind == "cancel")
                    a.type = ANSWER_CANCEL;
                else
                    return fail("unknown answer " + Q(kind) + " (yes, no, ok, cancel, file, field)");
            }
            if (!pending_fields.empty()) {
                if (a.type != ANSWER_OK)
                    return fail("field answers must be followed by 'answer ok', not " + Q("answer " + kind));
                a.fields.swap(pending_fields);
            }
            new_answers.push_back(a);
            continue;
        }

        ReplayEvent e;
        e.line = line_no;
        if (!ToInt(w[0], 0, 1000000000L, &e.frame))
            return fail("expected a frame number or 'answer', got " + Q(w[0]));
        if (w.size() < 2) return fail("missing event after the frame number");
        if (w[1] == "key") {
            if (w.size() != 4) return fail("expected 'key down CODE' or 'key up CODE'");
            if (!ParseUpDown(w[2], &e.pressed)) return fail("expected 'down' or 'up', got " + Q(w[2]));
            if (!ToInt(w[3], 0, 255, &e.code)) return fail("key code " + Q(w[3]) + " is not in 0..255");
            e.type = REPLAY_KEY;
        } else if (w[1] == "mouse" && w.size() >= 3 && w[2] == "move") {
            if (w.size() != 5 && w.size() != 6) return fail("expected 'mouse move DX DY [DZ]'");
            int* parts[] = {&e.dx, &e.dy, &e.dz};
            for (size_t i = 3; i < w.size(); ++i)
                if (!ToInt(w[i], -1000000L, 1000000L, parts[i - 3]))
                    return fail("mouse motion " + Q(w[i]) + " is not a whole number");
            e.type = REPLAY_MOUSE_MOVE;
        } else if (w[1] == "mouse" && w.size() >= 3 && w[2] == "button") {
            if (w.size() != 5) return fail("expected 'mouse button N down' or 'mouse button N up'");
            if (!ToInt(w[3], 0, 3, &e.code)) return fail("mouse button " + Q(w[3]) + " is not in 0..3");
            if (!ParseUpDown(w[4], &e.pressed)) return fail("expected 'down' or 'up', got " + Q(w[4]));
            e.type = REPLAY_MOUSE_BUTTON;
        } else if (w[1] == "mouse") {
            return fail("expected 'mouse move' or 'mouse button'");
        } else {
            return fail("unknown event " + Q(w[1]) + " (key, mouse)");
        }
        new_events.push_back(e);
    }
    if (!pending_fields.empty()) {
        line_no = pending_fields_line;
        return fail("field answers without a following 'answer ok'");
    }

    std::stable_sort(new_events.begin(), new_events.end(),
                     [](const ReplayEvent& a, const ReplayEvent& b) { return a.frame < b.frame; });
    events_.swap(new_events);
    answers_.swap(new_answers);
    nextEvent_ = 0;
    nextWindowKey_ = 0;
    nextAnswer_ = 0;
    return true;
}

bool Replay::Load(const char* path, std::string* error) {
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        *error = "cannot read replay file " + Q(path);
        return false;
    }
    std::string message;
    if (!Parse(text, &message)) {
        *error = std::string(path) + ": " + message;
        return false;
    }
    return true;
}

bool Replay::NextInputEvent(int frame, ReplayEvent* out) {
    if (nextEvent_ >= events_.size() || events_[nextEvent_].frame > frame) return false;
    *out = events_[nextEvent_++];
    return true;
}

bool Replay::NextWindowKey(int frame, ReplayEvent* out) {
    while (nextWindowKey_ < events_.size() && events_[nextWindowKey_].frame <= frame) {
        const ReplayEvent& e = events_[nextWindowKey_++];
        if (e.type == REPLAY_KEY) {
            *out = e;
            return true;
        }
    }
    return false;
}

const ReplayAnswer* Replay::FrontAnswer() const {
    return nextAnswer_ < answers_.size() ? &answers_[nextAnswer_] : nullptr;
}

void Replay::PopAnswer() {
    if (nextAnswer_ < answers_.size()) ++nextAnswer_;
}
