// A small JSON reader and writer for the tools' dump and build commands.
//
// Texts are byte strings. The writer escapes every byte from 0x80 up as
// \u00XX and the reader turns \u escapes below 256 back into that one byte
// (higher code points become UTF-8), so a dumped text reads back byte for
// byte. Floats are written with the fewest digits that read back to the same
// float; values JSON cannot hold (infinities, NaN) are written as the text
// "0x" + the eight hex digits of their bits, which FloatOf also accepts.
#ifndef ZENDAR_TOOLS_Z1TOOL_JSON_H
#define ZENDAR_TOOLS_Z1TOOL_JSON_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace json {

struct Value {
    enum Kind {
        NUL,
        BOOL,
        NUMBER,
        STRING,
        ARRAY,
        OBJECT
    };
    Kind kind = NUL;
    bool boolean = false;
    std::string text;  // STRING: the bytes; NUMBER: the literal as written
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> members;  // in file order

    const Value* Find(const char* key) const;  // null when absent or not an object
};

// Parses one JSON document; false with a one-line message (and position).
bool Parse(const std::string& input, Value& out, std::string* error);

// Conversions with checking: false with a message when the value does not fit.
bool IntOf(const Value& v, int64_t lo, int64_t hi, int64_t& out, std::string* error);
bool FloatOf(const Value& v, float& out, std::string* error);
bool BoolOf(const Value& v, bool& out, std::string* error);
bool TextOf(const Value& v, std::string& out, std::string* error);

// Writing.
std::string Quote(const std::string& bytes);
std::string Float(float v);
std::string Bool(bool v);

}  // namespace json

#endif
