// Tokens of the script language.
#ifndef ZENDAR_TOOLS_Z1TOOL_ZS_ZSLEXER_H
#define ZENDAR_TOOLS_Z1TOOL_ZS_ZSLEXER_H

#include <cstdint>
#include <string>
#include <vector>

#include "zsdiag.h"

enum class Tok : uint8_t {
    kEnd,
    kName,
    kInt,
    kFloat,
    kText,
    // keywords
    kProgram,
    kFunction,
    kConst,
    kVar,
    kIf,
    kElse,
    kWhile,
    kFor,
    kBreak,
    kContinue,
    kReturn,
    kTrue,
    kFalse,
    kIntType,
    kFloatType,
    kTextType,
    kVectorType,
    // punctuation
    kLParen,
    kRParen,
    kLBrace,
    kRBrace,
    kComma,
    kSemicolon,
    kColon,
    kDot,
    // operators
    kPlus,
    kMinus,
    kStar,
    kSlash,
    kPercent,
    kNot,
    kAndAnd,
    kOrOr,
    kEq,
    kNe,
    kLt,
    kGt,
    kLe,
    kGe,
    kAssign,
    kPlusAssign,
    kMinusAssign,
    kStarAssign,
    kSlashAssign,
    kPercentAssign,
    kPlusPlus,
    kMinusMinus,
};

struct Token {
    Tok kind = Tok::kEnd;
    ZsPos pos;
    ZsPos end;             // just past the token
    std::string text;      // names, texts (unescaped), the digits of numbers
    uint64_t integer = 0;  // kInt: the value (saturated above 2^32)
    float number = 0.0f;   // kFloat
    bool hex = false;      // kInt written 0x...
};

// How a token kind is written, for messages: "';'", "a name", "end of file".
std::string TokDescription(Tok kind);
// The token as it stands in the source, for "found ..." in messages.
std::string TokenDescription(const Token& t);

// Splits the whole source; the last token is kEnd. Bad characters and texts
// are reported and skipped or closed, so the parser always gets a stream.
std::vector<Token> LexZs(const std::string& source, Diagnostics& diag);

#endif
