#include "entities/propertysheet.h"

#include <cstdio>
#include <cstdlib>

#include "utility/log.h"

void PropertySheet::AddText(const char* label, const char* text) {
    Field f;
    f.label = label;
    f.kind = FIELD_TEXT;
    f.text = text ? text : "";
    fields.push_back(f);
}

void PropertySheet::AddNumber(const char* label, float value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", value);
    AddShownNumber(label, buf, value);
}

void PropertySheet::AddInteger(const char* label, int value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%i", value);
    AddShownNumber(label, buf, value);
}

void PropertySheet::AddShownNumber(const char* label, const char* shown, double value) {
    AddText(label, shown);
    Field& f = fields.back();
    f.hasValue = true;
    f.value = value;
    f.valueText = f.text;
}

void PropertySheet::AddReadOnly(const char* label, const char* text) {
    AddText(label, text);
    fields.back().kind = FIELD_READONLY;
}

void PropertySheet::AddCheck(const char* label, bool checked) {
    Field f;
    f.label = label;
    f.kind = FIELD_CHECK;
    f.checked = checked;
    fields.push_back(f);
}

void PropertySheet::AddChoice(const char* label, const std::vector<std::string>& choices, int choice) {
    Field f;
    f.label = label;
    f.kind = FIELD_CHOICE;
    f.choices = choices;
    f.choice = choice;
    fields.push_back(f);
}

PropertySheet::Field* PropertySheet::Find(const char* label) {
    for (Field& f : fields)
        if (f.label == label) return &f;
    return nullptr;
}

const PropertySheet::Field* PropertySheet::Find(const char* label) const {
    for (const Field& f : fields)
        if (f.label == label) return &f;
    return nullptr;
}

std::string PropertySheet::Text(const char* label, const char* fallback) const {
    const Field* f = Find(label);
    return f ? f->text : std::string(fallback);
}

float PropertySheet::Number(const char* label, float fallback) const {
    return static_cast<float>(Value(label, fallback));
}

double PropertySheet::Value(const char* label, double fallback) const {
    const Field* f = Find(label);
    if (!f) return fallback;
    if (f->hasValue && f->text == f->valueText) return f->value;
    return std::atof(f->text.c_str());
}

bool PropertySheet::Checked(const char* label, bool fallback) const {
    const Field* f = Find(label);
    return f ? f->checked : fallback;
}

int PropertySheet::Choice(const char* label, int fallback) const {
    const Field* f = Find(label);
    return f ? f->choice : fallback;
}

bool PropertySheet::SameValues(const PropertySheet& other) const {
    if (title != other.title || fields.size() != other.fields.size()) return false;
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& a = fields[i];
        const Field& b = other.fields[i];
        if (a.label != b.label || a.kind != b.kind || a.checked != b.checked || a.choice != b.choice)
            return false;
        if (a.hasValue && b.hasValue) {
            if (Value(a.label.c_str(), 0.0) != other.Value(b.label.c_str(), 0.0)) return false;
        } else if (a.text != b.text) {
            return false;
        }
    }
    return true;
}

bool PropertyDialogs::Show(PropertySheet& sheet) {
    LogLine("no property dialog front end - '%s' not shown", sheet.title.c_str());
    return false;
}

static PropertyDialogs s_defaultPropertyDialogs;
PropertyDialogs* g_propertyDialogs = &s_defaultPropertyDialogs;
