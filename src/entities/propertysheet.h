// An entity's editable fields, described once. The editor shows the sheet as
// a modal dialog (Win32 resources or an ImGui window, both render the same
// description); numbers travel as text and are parsed back as floats.
//
// A number keeps the exact value it was described with beside its text: read
// back with its text untouched it is that value, not the value of the
// rounded text. So OK on an unchanged dialog changes nothing, and a sheet
// described earlier puts an entity back exactly as it was (the editor's undo).
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
        // Numbers: the exact value, and the text it was shown as.
        bool hasValue = false;
        double value = 0.0;
        std::string valueText;
    };

    std::string title;  // the dialog's caption; empty: the entity has no dialog
    std::vector<Field> fields;

    void AddText(const char* label, const char* text);
    void AddNumber(const char* label, float value);  // shown with %f
    void AddInteger(const char* label, int value);
    // A number shown as `shown` (e.g. a colour as a byte) that reads back as
    // `value` while its text is untouched.
    void AddShownNumber(const char* label, const char* shown, double value);
    void AddReadOnly(const char* label, const char* text);
    void AddCheck(const char* label, bool checked);
    void AddChoice(const char* label, const std::vector<std::string>& choices, int choice);

    Field* Find(const char* label);
    const Field* Find(const char* label) const;
    // Values read back; a missing field yields the fallback.
    std::string Text(const char* label, const char* fallback = "") const;
    float Number(const char* label, float fallback) const;
    // The number in full precision: the described value while the text is
    // as it was shown, else the text parsed.
    double Value(const char* label, double fallback) const;
    bool Checked(const char* label, bool fallback) const;
    int Choice(const char* label, int fallback) const;

    // Same labels, kinds and values (texts, checks, choices; numbers by value
    // while untouched).
    bool SameValues(const PropertySheet& other) const;
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
