#include "utility/zstring.h"

#include <cstring>

namespace {
char g_empty[1] = {'\0'};
}

String::String() : text(g_empty), length(0) {}

String::String(const char* source) : text(g_empty), length(0) {
    if (source) Assign(source, static_cast<int>(std::strlen(source)));
}

String::String(const char* source, int source_length) : text(g_empty), length(0) {
    if (source && source_length > 0) {
        int n = 0;
        while (n < source_length && source[n]) ++n;
        Assign(source, n);
    }
}

String::String(const String& other) : text(g_empty), length(0) { Assign(other.text, other.length); }

String::String(String&& other) noexcept : text(other.text), length(other.length) {
    other.text = g_empty;
    other.length = 0;
}

String::~String() {
    if (text != g_empty) delete[] text;
}

void String::Assign(const char* source, int source_length) {
    char* copy = g_empty;
    if (source_length > 0) {
        copy = new char[source_length + 1];
        std::memcpy(copy, source, source_length);
        copy[source_length] = '\0';
    }
    if (text != g_empty) delete[] text;
    text = copy;
    length = source_length;
}

String& String::operator=(const String& other) {
    if (this != &other) Assign(other.text, other.length);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        if (text != g_empty) delete[] text;
        text = other.text;
        length = other.length;
        other.text = g_empty;
        other.length = 0;
    }
    return *this;
}

String& String::operator=(const char* source) {
    if (!source) {
        Assign("", 0);
    } else if (source >= text && source <= text + length) {
        String copy(source);
        *this = static_cast<String&&>(copy);
    } else {
        Assign(source, static_cast<int>(std::strlen(source)));
    }
    return *this;
}

String& String::operator+=(const char* more) {
    if (!more || !*more) return *this;
    int extra = static_cast<int>(std::strlen(more));
    char* joined = new char[length + extra + 1];
    std::memcpy(joined, text, length);
    std::memcpy(joined + length, more, extra + 1);
    if (text != g_empty) delete[] text;
    text = joined;
    length += extra;
    return *this;
}

String& String::operator+=(const String& other) {
    String copy(other);  // other may be *this
    return *this += copy.text;
}

String String::operator+(const String& other) const {
    String r(*this);
    r += other;
    return r;
}

String String::operator+(const char* more) const {
    String r(*this);
    r += more;
    return r;
}

int String::Compare(const String& other) const { return std::strcmp(text, other.text); }

int String::Compare(const char* other) const { return std::strcmp(text, other ? other : ""); }
