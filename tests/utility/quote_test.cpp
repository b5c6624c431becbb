#include <gtest/gtest.h>

#include <string>

#include "utility/quote.h"

namespace {

// Script assembly escapes every byte outside printable ASCII; the dialog
// language keeps bytes above 0x7F as they are.
TEST(QuoteText, EscapesAndHighBytes) {
    struct Case {
        std::string text;
        const char* kept;
        const char* escaped;
    } cases[] = {
        {"", "\"\"", "\"\""},
        {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\"", "\"say \\\"hi\\\"\\\\\""},
        {"a\nb\rc\td", "\"a\\nb\\rc\\td\"", "\"a\\nb\\rc\\td\""},
        {std::string("\x01\x1f\x7f", 3), "\"\\x01\\x1f\\x7f\"", "\"\\x01\\x1f\\x7f\""},
        {std::string("\0", 1), "\"\\x00\"", "\"\\x00\""},
        {"\x80\xe9\xff", "\"\x80\xe9\xff\"", "\"\\x80\\xe9\\xff\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuoteText(c.text, QuoteHighBytes::kKeep), c.kept);
        EXPECT_EQ(QuoteText(c.text, QuoteHighBytes::kEscape), c.escaped);
    }
}

}  // namespace
