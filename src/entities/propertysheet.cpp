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
    AddText(label, buf);
}

void PropertySheet::AddInteger(const char* label, int value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%i", value);
    AddText(label, buf);
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
    const Field* f = Find(label);
    return f ? static_cast<float>(std::atof(f->text.c_str())) : fallback;
}

bool PropertySheet::Checked(const char* label, bool fallback) const {
    const Field* f = Find(label);
    return f ? f->checked : fallback;
}

int PropertySheet::Choice(const char* label, int fallback) const {
    const Field* f = Find(label);
    return f ? f->choice : fallback;
}

bool PropertyDialogs::Show(PropertySheet& sheet) {
    LogLine("no property dialog front end - '%s' not shown", sheet.title.c_str());
    return false;
}

static PropertyDialogs s_defaultPropertyDialogs;
PropertyDialogs* g_propertyDialogs = &s_defaultPropertyDialogs;
