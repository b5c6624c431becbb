#include "os/dialogs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfxdriver/gfxdriver.h"
#include "os/replay.h"

Dialogs* g_dialogs = nullptr;

bool SetSheetField(PropertySheet* sheet, const std::string& label, const std::string& value,
                   std::string* error) {
    PropertySheet::Field* f = sheet->Find(label.c_str());
    if (!f) {
        *error = "dialog '" + sheet->title + "' has no field '" + label + "'";
        return false;
    }
    switch (f->kind) {
    case PropertySheet::FIELD_TEXT: f->text = value; return true;
    case PropertySheet::FIELD_CHECK:
        if (value == "1" || value == "yes" || value == "on" || value == "true")
            f->checked = true;
        else if (value == "0" || value == "no" || value == "off" || value == "false")
            f->checked = false;
        else {
            *error = "field '" + label + "' is a check box: '" + value + "' is not 1 or 0";
            return false;
        }
        return true;
    case PropertySheet::FIELD_CHOICE: {
        int found = -1;
        for (size_t i = 0; i < f->choices.size() && found < 0; ++i)
            if (f->choices[i] == value) found = static_cast<int>(i);
        if (found < 0 && !value.empty() && value.size() < 9 &&
            value.find_first_not_of("0123456789") == std::string::npos) {
            long i = std::strtol(value.c_str(), nullptr, 10);
            if (i < static_cast<long>(f->choices.size())) found = static_cast<int>(i);
        }
        if (found < 0) {
            *error = "field '" + label + "' has no item '" + value + "'";
            return false;
        }
        f->choice = found;
        return true;
    }
    case PropertySheet::FIELD_READONLY: break;
    }
    *error = "field '" + label + "' cannot be set";
    return false;
}

namespace {

// The scripted answer for a call, if the replay has one that fits. Answers that
// do not fit stay queued for the call they were meant for.
const ReplayAnswer* TakeAnswer(const char* what, bool (*fits)(const ReplayAnswer&)) {
    if (!g_replay) return nullptr;
    const ReplayAnswer* a = g_replay->FrontAnswer();
    if (a && fits(*a)) {
        g_replay->PopAnswer();
        return a;
    }
    if (a)
        std::fprintf(stderr, "replay: answer '%s' (line %d) does not fit %s; taking the default\n",
                     ReplayAnswerName(a->type), a->line, what);
    else
        std::fprintf(stderr, "replay: no answer left for %s; taking the default\n", what);
    return nullptr;
}

char g_open_path[512];
char g_save_path[512];

const char* RunFileDialog(bool save, const char* title, const char* description, const char* extension,
                          const char* start) {
    char* buffer = save ? g_save_path : g_open_path;
    if (g_replay) {
        const ReplayAnswer* a = TakeAnswer(
            save ? "a save dialog" : "an open dialog",
            [](const ReplayAnswer& r) { return r.type == ANSWER_FILE || r.type == ANSWER_CANCEL; });
        if (!a || a->type == ANSWER_CANCEL) return nullptr;
        std::snprintf(buffer, 512, "%s", a->path.c_str());
        return buffer;
    }
    if (!g_dialogs) return nullptr;
    std::snprintf(buffer, 512, "%s", start ? start : "");
    if (!g_dialogs->FileDialog(save, title, description, extension, buffer, 512)) return nullptr;
    buffer[511] = '\0';
    return buffer;
}

}  // namespace

void ErrorBox(const char* caption, const char* text) {
    if (g_replay) {
        // An error box never waits in an automated run; a queued "answer ok"
        // meant for it is taken.
        const ReplayAnswer* a = g_replay->FrontAnswer();
        if (a && a->type == ANSWER_OK && a->fields.empty()) g_replay->PopAnswer();
        std::fprintf(stderr, "replay: error box '%s': %s\n", caption, text);
        return;
    }
    if (g_dialogs)
        g_dialogs->ErrorBox(caption, text);
    else
        std::fprintf(stderr, "%s: %s\n", caption, text);
}

void StartProblemsBox(const std::vector<std::string>& problems) {
    if (problems.empty()) return;
    std::string text;
    for (const std::string& p : problems) text += p + "\n";
    text += "\nThe game starts without what is missing.";
    if (g_gfxdriver) g_gfxdriver->Pause(true);
    ErrorBox("Zendar1 - cannot read the game's files", text.c_str());
    if (g_gfxdriver) g_gfxdriver->Pause(false);
}

bool YesNoBox(const char* caption, const char* text) {
    if (g_replay) {
        const ReplayAnswer* a = TakeAnswer("a yes/no box", [](const ReplayAnswer& r) {
            return r.type == ANSWER_YES || r.type == ANSWER_NO;
        });
        return a && a->type == ANSWER_YES;
    }
    return g_dialogs && g_dialogs->YesNoBox(caption, text);
}

BoxAnswer Dialogs::YesNoCancelBox(const char* caption, const char* text) {
    if (YesNoBox(caption, text)) return BOX_YES;
    return YesNoBox(caption, "Discard the changes?") ? BOX_NO : BOX_CANCEL;
}

BoxAnswer YesNoCancelBox(const char* caption, const char* text) {
    if (g_replay) {
        const ReplayAnswer* a = TakeAnswer("a yes/no/cancel box", [](const ReplayAnswer& r) {
            return r.type == ANSWER_YES || r.type == ANSWER_NO || r.type == ANSWER_CANCEL;
        });
        if (!a) return BOX_CANCEL;
        return a->type == ANSWER_YES ? BOX_YES : a->type == ANSWER_NO ? BOX_NO : BOX_CANCEL;
    }
    if (g_dialogs) return g_dialogs->YesNoCancelBox(caption, text);
    std::fprintf(stderr, "%s: %s (no box could be shown: Cancel)\n", caption, text);
    return BOX_CANCEL;
}

bool RunDialog(PropertySheet* sheet, SheetChanged on_change, void* user) {
    if (g_replay) {
        const ReplayAnswer* a = TakeAnswer(
            "a dialog", [](const ReplayAnswer& r) { return r.type == ANSWER_OK || r.type == ANSWER_CANCEL; });
        if (!a || a->type == ANSWER_CANCEL) return false;
        for (const auto& field : a->fields) {
            std::string error;
            if (!SetSheetField(sheet, field.first, field.second, &error)) {
                std::fprintf(stderr, "replay: line %d: %s; the dialog is cancelled\n", a->line,
                             error.c_str());
                return false;
            }
            if (on_change) {
                int index = static_cast<int>(sheet->Find(field.first.c_str()) - &sheet->fields[0]);
                on_change(sheet, index, user);
            }
        }
        return true;
    }
    return g_dialogs && g_dialogs->RunDialog(sheet, on_change, user);
}

const char* OpenFileDialog(const char* title, const char* description, const char* extension,
                           const char* start) {
    return RunFileDialog(false, title, description, extension, start);
}

const char* SaveFileDialog(const char* title, const char* description, const char* extension,
                           const char* start) {
    return RunFileDialog(true, title, description, extension, start);
}
