// An entity's editable fields, described once. The editor shows the sheet as
// a modal dialog (Win32 resources or an ImGui window, both render the same
// description); numbers travel as text and are parsed back as floats.
#ifndef ZENDAR_ENTITIES_PROPERTYSHEET_H
#define ZENDAR_ENTITIES_PROPERTYSHEET_H

#include <string>
#include <vector>

class PropertySheet {
public:
    enum Kind {
        FIELD_TEXT,      // editable text (names, file names, numbers)
        FIELD_READONLY,  // shown, never written back
        FIELD_CHECK,     // check box
        FIELD_CHOICE,    // drop-down list of fixed names
    };
    struct Field {
        std::string label;
        Kind kind = FIELD_TEXT;
        std::string text;
        bool checked = false;
        int choice = 0;
        std::vector<std::string> choices;
    };

    std::string title;  // the dialog's caption; empty: the entity has no dialog
    std::vector<Field> fields;

    void AddText(const char* label, const char* text);
    void AddNumber(const char* label, float value);  // shown with %f
    void AddInteger(const char* label, int value);
    void AddReadOnly(const char* label, const char* text);
    void AddCheck(const char* label, bool checked);
    void AddChoice(const char* label, const std::vector<std::string>& choices, int choice);

    Field* Find(const char* label);
    const Field* Find(const char* label) const;
    // Values read back; a missing field yields the fallback.
    std::string Text(const char* label, const char* fallback = "") const;
    float Number(const char* label, float fallback) const;
    bool Checked(const char* label, bool fallback) const;
    int Choice(const char* label, int fallback) const;
};

// The dialog front end. The editor installs its own; the default writes one
// log line and answers Cancel.
class PropertyDialogs {
public:
    virtual ~PropertyDialogs() {}
    virtual bool Show(PropertySheet& sheet);
};
extern PropertyDialogs* g_propertyDialogs;

#endif
