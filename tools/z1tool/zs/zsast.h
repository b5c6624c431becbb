// The syntax tree of a script-language source, and what the checker writes
// on it for the code generator: value kinds, folded constants, local slots
// and what each call calls.
#ifndef ZENDAR_TOOLS_Z1TOOL_ZS_ZSAST_H
#define ZENDAR_TOOLS_Z1TOOL_ZS_ZSAST_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zsdiag.h"
#include "zslexer.h"

// kError marks a node already reported, so that one mistake gives one message.
enum class ZsType : uint8_t {
    kError,
    kVoid,
    kInt,
    kFloat,
    kText,
    kVector
};

const char* TypeName(ZsType t);

struct ZsValue {
    ZsType type = ZsType::kError;
    int32_t i = 0;
    float f = 0.0f;
    std::string t;
    float v[3] = {0.0f, 0.0f, 0.0f};
};

enum class ExprKind : uint8_t {
    kError,   // could not be parsed
    kInt,     // integer literal (possibly negated)
    kFloat,   // float literal (possibly negated)
    kText,    // text literal
    kBool,    // true / false
    kName,    // a local or a constant
    kMember,  // object.name: a vector's component, or world/game before a call
    kCall,    // name(args) or world.name(args) or game.name(args)
    kUnary,   // op: kMinus or kNot
    kBinary,  // op: the operator token
};

// What a binary node does once its operand kinds are known.
enum class BinaryKind : uint8_t {
    kNone,
    kIntArith,
    kFloatArith,
    kJoin,  // text joining
    kVectorArith,
    kIntCompare,
    kFloatCompare,
    kTextCompare,
    kAnd,
    kOr,
};

// Builtins and engine calls a call may name.
enum class CallKind : uint8_t {
    kNone,
    kUser,  // a function of the source
    kVec,
    kToInt,
    kToFloat,
    kToText,
    kRandom,
    kSleep,
    kWait,
    kStartName,
    kEngine,  // world.* and game.*: see EngineCall
};

struct FunctionDecl;

struct Expr {
    ExprKind kind = ExprKind::kError;
    ZsPos pos;
    Tok op = Tok::kEnd;                       // unary and binary operator
    std::string name;                         // kName, kMember (the member), kCall (the full name)
    std::string text;                         // kText; number literals: their digits
    uint64_t integer = 0;                     // kInt magnitude
    bool negative = false;                    // kInt / kFloat written with a leading '-'
    float number = 0.0f;                      // kFloat (sign applied)
    std::vector<std::unique_ptr<Expr>> args;  // operands, call arguments; kMember: the object
    int depth = 1;                            // nesting below and including this node
    bool noRead = false;                      // the target read back by a compound assignment

    // Written by the checker.
    ZsType type = ZsType::kError;
    bool constant = false;  // value holds the folded result
    ZsValue value;
    int slot = -1;       // kName: the local's slot; kMember of a local: the local's slot
    int component = -1;  // kMember: 0, 1, 2 for x, y, z
    BinaryKind binary = BinaryKind::kNone;
    ZsType joinLeft = ZsType::kText, joinRight = ZsType::kText;  // kJoin: operand kinds to convert
    CallKind call = CallKind::kNone;
    int engine = -1;                       // kEngine: index into the engine-call table
    const FunctionDecl* callee = nullptr;  // kUser
    ZsType convertFrom = ZsType::kError;   // kToInt / kToFloat / kToText: the operand's kind
};

enum class StmtKind : uint8_t {
    kBlock,
    kVar,
    kConst,
    kIf,
    kWhile,
    kFor,
    kBreak,
    kContinue,
    kReturn,
    kAssign,  // op: kAssign or a compound assignment, kPlusPlus, kMinusMinus
    kExpr,
};

struct Stmt {
    StmtKind kind = StmtKind::kBlock;
    ZsPos pos;
    std::string name;                  // kVar, kConst
    ZsType declared = ZsType::kError;  // kVar with ': type'
    bool hasType = false;
    Tok op = Tok::kAssign;                    // kAssign
    std::unique_ptr<Expr> target;             // kAssign
    std::unique_ptr<Expr> expr;               // initialiser, condition, value, right side
    std::vector<std::unique_ptr<Stmt>> body;  // kBlock
    std::unique_ptr<Stmt> then, otherwise;    // kIf; kWhile/kFor: then is the body
    std::unique_ptr<Stmt> init, step;         // kFor

    // Written by the checker.
    int slot = -1;                      // kVar: its slot; kAssign: the target's slot
    int component = -1;                 // kAssign to a vector's component
    ZsType valueType = ZsType::kError;  // kVar / kAssign: the kind stored; kReturn: the value's kind
    bool lastInProgram = false;         // kReturn: nothing follows it in its program
    bool skip = false;                  // a statement dropped from the code (constant declarations)
};

struct Param {
    std::string name;
    ZsType type = ZsType::kError;
    ZsPos pos;
};

struct FunctionDecl {
    std::string name;
    ZsPos pos;
    std::vector<Param> params;
    ZsType result = ZsType::kVoid;
    std::unique_ptr<Stmt> body;
    ZsPos end;  // the closing brace
    // Written by the checker.
    int slots = 0;              // highest local slot (parameters are 1..n)
    bool fallsThrough = false;  // the end of the body can be reached
};

struct ProgramDecl {
    std::string name;
    ZsPos pos;
    int trigger = 0;                // kTrigger* of the file format
    std::unique_ptr<Expr> pattern;  // click, collision, pickup
    bool sync = false;
    std::unique_ptr<Stmt> body;
    // Written by the checker.
    int slots = 0;            // local slots 0 .. slots - 1
    std::string patternText;  // the trigger pattern
};

struct ConstDecl {
    std::string name;
    ZsPos pos;
    std::unique_ptr<Expr> expr;
};

struct Unit {
    // In source order; each entry is one of the three.
    struct Decl {
        std::unique_ptr<FunctionDecl> function;
        std::unique_ptr<ProgramDecl> program;
        std::unique_ptr<ConstDecl> constant;
    };
    std::vector<Decl> decls;
};

#endif
