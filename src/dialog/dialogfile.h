// Dialog files (".dlg", "DLG" version 0.6): the in-memory program a
// conversation runs, its loader and its writer.
//
// Every object a load creates is owned by the DIALOG's node pool, so a
// failed load (or a dialog that is dropped) frees everything in one go even
// though continuation commands point backwards into their owners.
#ifndef ZENDAR_DIALOG_DIALOGFILE_H
#define ZENDAR_DIALOG_DIALOGFILE_H

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dialog/dialogstreams.h"

class DIALOG;
class Action;
struct ExecEnv;

// Nesting of command lists and condition trees a file may use. Deeper files
// are refused: the loader, the checks and the evaluator all recurse.
constexpr int kMaxDialogNesting = 100;

// Read cursor over the bytes of one dialog file. read() behaves like fread on
// the same bytes: it returns how many whole elements it delivered.
class DialogFile {
public:
    DialogFile(const unsigned char* data, size_t size, DIALOG* owner);
    size_t read(void* out, size_t elementSize, size_t count);
    size_t remaining() const { return size_ - pos_; }
    size_t position() const { return pos_; }

    DIALOG* owner;
    int depth = 0;  // current nesting of lists and trees

private:
    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
};

bool readShort(DialogFile* f, short* out);
// Reads one length-prefixed string; false after its error line.
bool readString(DialogFile* f, std::string* out);
// A field as readShort or readString reads it; when that fails, the error the
// format gives (each field has its own message) is written as DialogError
// writes it.
bool readOr(DialogFile* f, short* out, const char* format, ...) DIALOG_PRINTF(3, 4);
bool readOr(DialogFile* f, std::string* out, const char* format, ...) DIALOG_PRINTF(3, 4);

class DialogNode {
public:
    virtual ~DialogNode() {}
};

// ---------------------------------------------------------------------------
// Parameters. Run-time type numbers: 0 error, 1 npc, 2 string.
enum {
    PARAMETER_ERROR = 0,
    PARAMETER_NPC = 1,
    PARAMETER_STRING = 2
};

class PARAMETER : public DialogNode {
public:
    virtual int getType() const = 0;
    virtual bool load(DialogFile* f);
    std::string name;
};
class PARAMETERnpc : public PARAMETER {
public:
    int getType() const override { return PARAMETER_NPC; }
};
class PARAMETERstring : public PARAMETER {
public:
    int getType() const override { return PARAMETER_STRING; }
};

// ---------------------------------------------------------------------------
// String parts: the text of a line is the concatenation of its parts.
struct ParameterValue;

class STRING : public DialogNode {
public:
    STRING* next = nullptr;
    virtual bool load(DialogFile* f) = 0;
    virtual void instantiate(ParameterValue** values, std::string* out) const = 0;
    virtual int code() const = 0;
    static bool loadList(DialogFile* f, STRING** listHead);
};
class STRINGparameter : public STRING {
public:
    bool load(DialogFile* f) override;
    void instantiate(ParameterValue** values, std::string* out) const override;
    int code() const override { return 0; }
    short parameterIndex = 0;
};
class STRINGconst : public STRING {
public:
    bool load(DialogFile* f) override;
    void instantiate(ParameterValue** values, std::string* out) const override;
    int code() const override { return 1; }
    std::string text;
};

// Concatenated text of a string list.
std::string instantiateStrings(const STRING* list, ParameterValue** values);

// ---------------------------------------------------------------------------
// Conditions (file codes 0..9).
enum {
    CONDITION_TRUE,
    CONDITION_FALSE,
    CONDITION_AND,
    CONDITION_OR,
    CONDITION_NOT,
    CONDITION_ENABLED,
    CONDITION_DISABLED,
    CONDITION_HEARDABOUT,
    CONDITION_QUEST,
    CONDITION_HASITEM
};

class CONDITION : public DialogNode {
public:
    virtual bool load(DialogFile* f) {
        (void)f;
        return true;
    }
    virtual bool evaluate(ExecEnv* env) = 0;
    virtual int code() const = 0;
    static CONDITION* loadTree(DialogFile* f);
};
class CONDITIONtrue : public CONDITION {
public:
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_TRUE; }
};
class CONDITIONfalse : public CONDITION {
public:
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_FALSE; }
};
class CONDITIONbinary : public CONDITION {
public:
    CONDITION* left = nullptr;
    CONDITION* right = nullptr;

protected:
    bool loadSides(DialogFile* f, const char* function);
};
class CONDITIONand : public CONDITIONbinary {
public:
    bool load(DialogFile* f) override;
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_AND; }
};
class CONDITIONor : public CONDITIONbinary {
public:
    bool load(DialogFile* f) override;
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_OR; }
};
class CONDITIONnot : public CONDITION {
public:
    bool load(DialogFile* f) override;
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_NOT; }
    CONDITION* condition = nullptr;
};
class CONDITIONstate : public CONDITION {
public:
    short stateIndex = 0;
};
class CONDITIONenabled : public CONDITIONstate {
public:
    bool load(DialogFile* f) override;
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_ENABLED; }
};
class CONDITIONdisabled : public CONDITIONstate {
public:
    bool load(DialogFile* f) override;
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_DISABLED; }
};
class CONDITIONheardabout : public CONDITIONstate {
public:
    bool load(DialogFile* f) override;
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_HEARDABOUT; }
};
class CONDITIONquest : public CONDITION {
public:
    bool load(DialogFile* f) override;
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_QUEST; }
    std::string questFlag;
};
class CONDITIONhasitem : public CONDITION {
public:
    bool load(DialogFile* f) override;
    bool evaluate(ExecEnv* env) override;
    int code() const override { return CONDITION_HASITEM; }
    short itemCount = 0;
    std::string itemName;
};

// ---------------------------------------------------------------------------
// Commands (file codes 0..17, 15 unused). Continuations have code -2: they
// are never in a file and mark the end of a nested list in memory.
enum {
    COMMAND_SKIP = 0,
    COMMAND_PLAYER,
    COMMAND_NPC,
    COMMAND_REMARK,
    COMMAND_LOG,
    COMMAND_SUSPEND,
    COMMAND_GOTO,
    COMMAND_QUERY,
    COMMAND_CYCLE,
    COMMAND_RANDOM,
    COMMAND_IFELSE,
    COMMAND_WHILE,
    COMMAND_COMPOUND,
    COMMAND_SETQUEST,
    COMMAND_EXECUTESCRIPT,
    COMMAND_ADDITEM = 16,
    COMMAND_REMOVEITEM = 17,
    COMMAND_CONTINUATION = -2
};

class COMMAND : public DialogNode {
public:
    COMMAND* next = nullptr;
    virtual bool load(DialogFile* f) {
        (void)f;
        return true;
    }
    virtual Action* execute(ExecEnv* env, COMMAND*& PC) = 0;
    virtual int code() const = 0;
    bool isContinuation() const { return code() == COMMAND_CONTINUATION; }

    static bool loadList(DialogFile* f, COMMAND** listHead, COMMAND* append);
    Action* executeNext(ExecEnv* env, COMMAND*& PC);
};

// Moves PC to commands and lets the step go on (or suspends on null).
Action* executeCommands(ExecEnv* env, COMMAND*& PC, COMMAND* commands);

class COMMANDskip : public COMMAND {
public:
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_SKIP; }
};
class COMMANDplayer : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_PLAYER; }
    STRING* strings = nullptr;
};
class COMMANDnpc : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_NPC; }
    short fromNPCIndex = 0;
    short toNPCIndex = 0;
    STRING* strings = nullptr;
};
class COMMANDremark : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_REMARK; }
    short fromNPCIndex = 0;
    STRING* strings = nullptr;
};
class COMMANDlog : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_LOG; }
    STRING* strings = nullptr;
};
class COMMANDsuspend : public COMMAND {
public:
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_SUSPEND; }
};
class COMMANDgoto : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_GOTO; }
    short stateIndex = 0;
};

class OPTION;
class COMMANDquery : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_QUERY; }
    short numberOfOptions = 0;  // as stored; the array holds max(0, n) options
    std::vector<OPTION*> options;
};

// cycle and random: one command per alternative; the commands after the
// last alternative are kept (unused) so that the file can be written back.
class COMMANDalternatives : public COMMAND {
public:
    short numberOfCommands = 0;
    std::vector<COMMAND*> alternatives;
    COMMAND* ignored = nullptr;

protected:
    bool loadAlternatives(DialogFile* f, const char* function);
};
class COMMANDcycle : public COMMANDalternatives {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_CYCLE; }
    short cycleIndex = 0;
};
class COMMANDrandom : public COMMANDalternatives {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_RANDOM; }
};
class COMMANDifelse : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_IFELSE; }
    CONDITION* condition = nullptr;
    COMMAND* thenPart = nullptr;
    COMMAND* elsePart = nullptr;
};
class COMMANDwhile : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_WHILE; }
    CONDITION* condition = nullptr;
    COMMAND* body = nullptr;
};
class COMMANDcompound : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_COMPOUND; }
    COMMAND* body = nullptr;
};
class COMMANDsetquest : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_SETQUEST; }
    std::string questFlag;
};
class COMMANDexecutescript : public COMMAND {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_EXECUTESCRIPT; }
    std::string scriptName;
};
class COMMANDitem : public COMMAND {
public:
    short itemCount = 0;
    std::string itemName;

protected:
    bool loadItem(DialogFile* f, const char* function);
};
class COMMANDadditem : public COMMANDitem {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_ADDITEM; }
};
class COMMANDremoveitem : public COMMANDitem {
public:
    bool load(DialogFile* f) override;
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_REMOVEITEM; }
};
// Jump back to target (the end of a while body: the condition is tested again).
class COMMANDgoto_pc : public COMMAND {
public:
    explicit COMMANDgoto_pc(COMMAND* t) : target(t) {}
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_CONTINUATION; }
    COMMAND* target;
};
// Continue after target (the end of any other nested list).
class COMMANDgoto_pc_next : public COMMAND {
public:
    explicit COMMANDgoto_pc_next(COMMAND* t) : target(t) {}
    Action* execute(ExecEnv* env, COMMAND*& PC) override;
    int code() const override { return COMMAND_CONTINUATION; }
    COMMAND* target;
};

// ---------------------------------------------------------------------------
// Options of a query.
enum {
    OPTION_GOTO = 0,
    OPTION_COMMANDS = 1
};

class OPTION : public DialogNode {
public:
    STRING* strings = nullptr;
    virtual bool load(DialogFile* f) = 0;
    std::string getText(ExecEnv* env) const;
    virtual void select(ExecEnv* env, COMMAND*& PC) = 0;
    virtual bool isEnabled(ExecEnv* env) = 0;
    virtual int code() const = 0;
};
class OPTIONgoto : public OPTION {
public:
    bool load(DialogFile* f) override;
    void select(ExecEnv* env, COMMAND*& PC) override;
    bool isEnabled(ExecEnv* env) override;
    int code() const override { return OPTION_GOTO; }
    short stateIndex = 0;
};
class OPTIONcommands : public OPTION {
public:
    bool load(DialogFile* f) override;
    void select(ExecEnv* env, COMMAND*& PC) override;
    bool isEnabled(ExecEnv* env) override;
    int code() const override { return OPTION_COMMANDS; }
    COMMAND* commands = nullptr;
};

// ---------------------------------------------------------------------------
class STATE : public DialogNode {
public:
    bool load(DialogFile* f);
    unsigned char repeatable = 0;
    std::string name;
    CONDITION* condition = nullptr;
    COMMAND* commands = nullptr;
};

class DIALOG {
public:
    DIALOG();
    ~DIALOG();
    DIALOG(const DIALOG&) = delete;
    DIALOG& operator=(const DIALOG&) = delete;

    // Loads name + ".dlg" through the data-file reader.
    bool load(const char* name);
    // Loads from bytes already in memory; path is used in messages only.
    bool loadBytes(const unsigned char* data, size_t size, const char* name, const char* path);

    // Every node of this dialog lives in its pool.
    template <class T, class... A>
    T* make(A&&... args) {
        T* node = new T(std::forward<A>(args)...);
        pool_.emplace_back(node);
        return node;
    }

    short parameterCount = 0;  // as stored; arrays hold max(0, count)
    std::vector<PARAMETER*> parameters;
    short stateCount = 0;
    std::vector<STATE*> states;
    short numberOfCycles = 0;
    // Bytes after numberOfCycles: ignored by the game, kept for the writer.
    std::vector<unsigned char> trailer;

    int parameterSlots() const { return parameterCount > 0 ? parameterCount : 0; }
    int stateSlots() const { return stateCount > 0 ? stateCount : 0; }

private:
    bool checkReferences();
    void reset();
    std::vector<std::unique_ptr<DialogNode>> pool_;
};

// Writes a dialog back into the file layout, byte for byte what the loader
// read (alternatives, their unused tail and the trailer included).
std::vector<unsigned char> writeDialog(const DIALOG& dialog);

#endif
