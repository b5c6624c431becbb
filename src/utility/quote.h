// Texts written into the text forms of binary files (script assembly, the
// dialog language) as double-quoted literals that read back to the same
// bytes: quote and backslash escaped, \n \r \t, other control bytes \xHH.
#ifndef ZENDAR_UTILITY_QUOTE_H
#define ZENDAR_UTILITY_QUOTE_H

#include <string>

enum class QuoteHighBytes {
    kKeep,    // bytes 0x80..0xFF as they are (texts in a local code page)
    kEscape,  // bytes 0x80..0xFF as \xHH too, so the literal is plain ASCII
};

std::string QuoteText(const std::string& text, QuoteHighBytes high);

#endif
