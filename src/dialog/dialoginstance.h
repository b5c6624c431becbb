// A running conversation: an instance of a loaded DIALOG with its own program
// counter, heard flags and cycle counters, stepped one action at a time.
#ifndef ZENDAR_DIALOG_DIALOGINSTANCE_H
#define ZENDAR_DIALOG_DIALOGINSTANCE_H

#include <vector>

#include "dialog/dialogfile.h"
#include "utility/zstring.h"

// One value per dialog parameter, supplied by whoever instantiates the dialog.
struct ParameterValue {
    unsigned char type = PARAMETER_ERROR;  // 1 npc, 2 string
    String* name = nullptr;                // npc: the character's name (may start null)
    const char* text = nullptr;            // string: the text
};

// What the conditions ask of the game.
class EnvironmentProxy {
public:
    virtual ~EnvironmentProxy() {}
    virtual bool questFlagDefined(const String& questFlag) = 0;
    virtual bool hasItem(short itemCount, const String& itemName) = 0;
};

// Answers false to everything, with an error line: nothing was installed.
class DefaultEnvironmentProxy : public EnvironmentProxy {
public:
    bool questFlagDefined(const String& questFlag) override;
    bool hasItem(short itemCount, const String& itemName) override;
};

// The process-wide proxy (a DefaultEnvironmentProxy until one is installed;
// null restores the default).
EnvironmentProxy* GetEnvironmentProxy();
void SetEnvironmentProxy(EnvironmentProxy* proxy);

// ---------------------------------------------------------------------------
// Actions: the result of one step. The receiver owns them.
enum {
    ACTION_PLAYER = 1,
    ACTION_NPC,
    ACTION_REMARK,
    ACTION_LOG,
    ACTION_SUSPEND,
    ACTION_QUERY,
    ACTION_SETQUEST,
    ACTION_EXECUTESCRIPT,
    ACTION_ADDITEM,
    ACTION_REMOVEITEM
};

class Action {
public:
    explicit Action(unsigned char k) : kind(k) {}
    virtual ~Action() {}
    unsigned char kind;
};
class ActionPlayerLine : public Action {
public:
    explicit ActionPlayerLine(const String& t) : Action(ACTION_PLAYER), text(t) {}
    String text;
};
class ActionNpcLine : public Action {
public:
    ActionNpcLine(const String& s, const String* l, const String& t)
        : Action(ACTION_NPC), speaker(s), listener(l ? new String(*l) : nullptr), text(t) {}
    ~ActionNpcLine() override { delete listener; }
    ActionNpcLine(const ActionNpcLine&) = delete;
    ActionNpcLine& operator=(const ActionNpcLine&) = delete;
    String speaker;
    String* listener;  // null when the line is said to nobody else
    String text;
};
class ActionRemark : public Action {
public:
    ActionRemark(const String& s, const String& t) : Action(ACTION_REMARK), speaker(s), text(t) {}
    String speaker;
    String text;
};
class ActionLogEntry : public Action {
public:
    explicit ActionLogEntry(const String& t) : Action(ACTION_LOG), text(t) {}
    String text;
};
class ActionSuspend : public Action {
public:
    ActionSuspend() : Action(ACTION_SUSPEND) {}
};
class ActionSetQuest : public Action {
public:
    explicit ActionSetQuest(const String& f) : Action(ACTION_SETQUEST), questFlag(f) {}
    String questFlag;
};
class ActionExecuteScript : public Action {
public:
    explicit ActionExecuteScript(const String& n) : Action(ACTION_EXECUTESCRIPT), scriptName(n) {}
    String scriptName;
};
class ActionItem : public Action {
public:
    ActionItem(unsigned char k, short count, const String& name)
        : Action(k), itemCount(count), itemName(name) {}
    short itemCount;
    String itemName;
};

// The query action: the offered options and the way back into the instance.
class ActionQuery : public Action {
public:
    ActionQuery() : Action(ACTION_QUERY) {}
    virtual void select(int selection) = 0;
    int numberOfOptions = 0;
    std::vector<String> optionTexts;  // in offer order
};

class ActionQueryImplementation : public ActionQuery {
public:
    ActionQueryImplementation(int numberOfOptions, OPTION** option, ExecEnv* execEnv, COMMAND** PC);
    void select(int selection) override;
    bool valid = false;
    std::vector<OPTION*> options;
    ExecEnv* execEnv = nullptr;
    COMMAND** PC = nullptr;
};

// ---------------------------------------------------------------------------
// What commands, conditions and options see of their instance.
struct ExecEnv {
    ParameterValue** parameterValues = nullptr;
    STATE** states = nullptr;
    int stateCount = 0;
    unsigned char* heard = nullptr;
    int* cycleCounters = nullptr;

    // Guards of one step: a state's condition may not reach that state's
    // enablement again, and conditions may not chain without end.
    std::vector<unsigned char> evaluating;
    int enabledDepth = 0;
    bool aborted = false;
};

bool stateEnabled(ExecEnv* env, int stateIndex);

// Commands that move on without an action return this marker; the step loop
// then runs the command at PC. (The chain is a loop, not nested calls, so a
// long run of commands cannot exhaust the stack.)
Action* ContinueStep();

// A step that runs this many commands without an action is ended.
constexpr int kMaxCommandsPerStep = 10000;
// Enabled/disabled conditions may consult other states this deep.
constexpr int kMaxEnabledDepth = 64;

class DialogInstance {
public:
    virtual ~DialogInstance() {}
    virtual Action* nextAction() = 0;
};

class DialogInstanceImplementation : public DialogInstance {
public:
    DialogInstanceImplementation(const char* dialogName, ParameterValue** parameters);
    Action* nextAction() override;

    bool valid = false;
    bool first = true;
    DIALOG* dialog = nullptr;
    ParameterValue** parameterValues = nullptr;
    COMMAND* PC = nullptr;
    std::vector<unsigned char> heard;
    std::vector<int> cycleCounters;
    ExecEnv execEnv;
};

#endif
