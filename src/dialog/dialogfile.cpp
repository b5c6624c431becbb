// The dialog loader: a dialog file's bytes into the dialog's objects. The
// reference checks (dialogcheck.cpp) run at the end of every load; the
// writer (dialogwriter.cpp) is its inverse.
//
// Index of this file:
// [SECTION] Reading the file
// [SECTION] Parameters
// [SECTION] String parts
// [SECTION] Conditions
// [SECTION] Commands
// [SECTION] Options
// [SECTION] States
// [SECTION] The dialog
#include "dialog/dialogfile.h"

#include <cstring>

#include "dialog/dialogstreams.h"
#include "utility/datafile.h"

// ---------------------------------------------------------------------------
// [SECTION] Reading the file
DialogFile::DialogFile(const unsigned char* data, size_t size, DIALOG* o)
    : owner(o), data_(data), size_(size) {}

size_t DialogFile::read(void* out, size_t elementSize, size_t count) {
    if (elementSize == 0) return 0;
    size_t whole = (size_ - pos_) / elementSize;
    size_t n = count < whole ? count : whole;
    // An empty file has no buffer at all, and memcpy wants one even for
    // nothing.
    if (n) std::memcpy(out, data_ + pos_, n * elementSize);
    pos_ += n * elementSize;
    if (n < count) {
        // fread consumes a partial element too
        pos_ = size_;
    }
    return n;
}

bool readShort(DialogFile* f, short* out) {
    unsigned char b[2];
    size_t n = f->read(b, 2, 1);
    if (n != 1) {
        DialogError("Error @ readShort(f): fread failed (%d).", (int)n);
        *out = -1;
        return false;
    }
    *out = (short)(unsigned short)(b[0] | (b[1] << 8));
    return true;
}

bool readString(DialogFile* f, std::string* out) {
    short length = 0;
    if (!readShort(f, &length) || length < 0) {
        // a negative length read successfully is as meaningless as a failed read
        DialogError("Error @ readString(f): Invalid length: %d.", (int)length);
        return false;
    }
    out->assign((size_t)length, '\0');
    if (length > 0) {
        size_t n = f->read(&(*out)[0], 1, (size_t)length);
        if (n != (size_t)length) {
            DialogError("Error @ readString(f): fread failed (%d).", (int)n);
            return false;
        }
    }
    return true;
}

bool readOr(DialogFile* f, short* out, const char* format, ...) {
    if (readShort(f, out)) return true;
    va_list args;
    va_start(args, format);
    DialogErrorV(format, args);
    va_end(args);
    return false;
}

bool readOr(DialogFile* f, std::string* out, const char* format, ...) {
    if (readString(f, out)) return true;
    va_list args;
    va_start(args, format);
    DialogErrorV(format, args);
    va_end(args);
    return false;
}

namespace {

void traceText(const std::string& text) { DialogTrace("%s", text.c_str()); }

void traceStrings(const STRING* s) {
    if (!DialogTracing()) return;
    DialogTrace(" \"");
    for (; s; s = s->next) {
        if (s->code() == 0)
            DialogTrace("<%d>", (int)static_cast<const STRINGparameter*>(s)->parameterIndex);
        else
            traceText(static_cast<const STRINGconst*>(s)->text);
    }
    DialogTrace("\"");
}

// Depth guard shared by command lists and condition trees.
struct Nesting {
    explicit Nesting(DialogFile* file) : f(file) { ++f->depth; }
    ~Nesting() { --f->depth; }
    bool tooDeep() const { return f->depth > kMaxDialogNesting; }
    DialogFile* f;
};

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Parameters
bool PARAMETER::load(DialogFile* f) {
    return readOr(f, &name, "Error @ PARAMETER::load(dialogFile) : Failed to read parameter name.");
}

// ---------------------------------------------------------------------------
// [SECTION] String parts
bool STRING::loadList(DialogFile* f, STRING** listHead) {
    *listHead = nullptr;
    STRING* last = nullptr;
    short type;
    if (!readOr(f, &type, "Error @ STRING::loadList(dialogFile, listHead): Failed reading stringType."))
        return false;
    while (type != -1) {
        STRING* part;
        if (type == 0)
            part = f->owner->make<STRINGparameter>();
        else if (type == 1)
            part = f->owner->make<STRINGconst>();
        else {
            // the same line whichever command owns the list
            DialogError("Error @ COMMANDnpc::load(dialogFile): Invalid string type %d.", (int)type);
            return false;
        }
        if (last)
            last->next = part;
        else
            *listHead = part;
        last = part;
        if (!part->load(f)) {
            DialogError(
                "Error @ STRING::loadList(dialogFile, listHead): Failed doing string-specific loading.");
            return false;
        }
        if (!readOr(f, &type, "Error @ STRING::loadList(dialogFile, listHead): Failed reading stringType."))
            return false;
    }
    return true;
}

bool STRINGparameter::load(DialogFile* f) {
    return readOr(f, &parameterIndex,
                  "Error @ STRINGparameter::load(dialogFile): Failed to read parameterIndex.");
}

bool STRINGconst::load(DialogFile* f) {
    return readOr(f, &text, "Error @ STRINGconst::load(dialogFile): Failed to read string.");
}

// ---------------------------------------------------------------------------
// [SECTION] Conditions
CONDITION* CONDITION::loadTree(DialogFile* f) {
    static const char* kFn = "CONDITION::loadTree(dialogFile)";
    Nesting nesting(f);
    short type;
    if (!readOr(f, &type, "Error @ %s : Failed reading conditionType.", kFn)) return nullptr;
    if (nesting.tooDeep()) {
        DialogError("Error @ %s : Conditions nested deeper than %d levels.", kFn, kMaxDialogNesting);
        return nullptr;
    }
    CONDITION* c = nullptr;
    DIALOG* d = f->owner;
    switch (type) {
    case CONDITION_TRUE:
        c = d->make<CONDITIONtrue>();
        DialogTrace("*true");
        break;
    case CONDITION_FALSE:
        c = d->make<CONDITIONfalse>();
        DialogTrace("*false");
        break;
    case CONDITION_AND: c = d->make<CONDITIONand>(); break;
    case CONDITION_OR: c = d->make<CONDITIONor>(); break;
    case CONDITION_NOT: c = d->make<CONDITIONnot>(); break;
    case CONDITION_ENABLED: c = d->make<CONDITIONenabled>(); break;
    case CONDITION_DISABLED: c = d->make<CONDITIONdisabled>(); break;
    case CONDITION_HEARDABOUT: c = d->make<CONDITIONheardabout>(); break;
    case CONDITION_QUEST: c = d->make<CONDITIONquest>(); break;
    case CONDITION_HASITEM: c = d->make<CONDITIONhasitem>(); break;
    default: DialogError("Error @ %s : Invalid condition type %d.", kFn, (int)type); return nullptr;
    }
    if (!c->load(f)) {
        DialogError("Error @ %s : Failed loading condition specifics.", kFn);
        return nullptr;
    }
    return c;
}

bool CONDITIONbinary::loadSides(DialogFile* f, const char* function) {
    DialogTrace("(");
    left = CONDITION::loadTree(f);
    if (!left) {
        DialogError("Error @ %s : Failed reading left condition tree.", function);
        return false;
    }
    DialogTrace(code() == CONDITION_AND ? ") and (" : ") or (");
    right = CONDITION::loadTree(f);
    if (!right) {
        DialogError("Error @ %s : Failed reading right condition tree.", function);
        return false;
    }
    DialogTrace(")");
    return true;
}

bool CONDITIONand::load(DialogFile* f) { return loadSides(f, "CONDITIONand::load(dialogFile)"); }
bool CONDITIONor::load(DialogFile* f) { return loadSides(f, "CONDITIONor::load(dialogFile)"); }

bool CONDITIONnot::load(DialogFile* f) {
    DialogTrace("*not(");
    condition = CONDITION::loadTree(f);
    if (!condition) {
        DialogError("Error @ CONDITIONnot::load(dialogFile) : Failed reading condition tree.");
        return false;
    }
    DialogTrace(")");
    return true;
}

static bool loadStateIndex(DialogFile* f, short* index, const char* function, const char* tag) {
    if (!readShort(f, index)) {
        DialogError("Error @ %s : Failed reading stateIndex.", function);
        return false;
    }
    DialogTrace("*%s(%d)", tag, (int)*index);
    return true;
}

bool CONDITIONenabled::load(DialogFile* f) {
    return loadStateIndex(f, &stateIndex, "CONDITIONenabled::load(dialogFile)", "enabled");
}
bool CONDITIONdisabled::load(DialogFile* f) {
    return loadStateIndex(f, &stateIndex, "CONDITIONdisabled::load(FILE *dialogFile)", "disabled");
}
bool CONDITIONheardabout::load(DialogFile* f) {
    return loadStateIndex(f, &stateIndex, "CONDITIONheardabout::load(FILE *dialogFile)", "heardabout");
}

bool CONDITIONquest::load(DialogFile* f) {
    if (!readOr(f, &questFlag,
                "Error @ CONDITIONquest::load(FILE *dialogFile) : Failed to read quest flag string."))
        return false;
    DialogTrace("*quest(\"%s\")", questFlag.c_str());
    return true;
}

bool CONDITIONhasitem::load(DialogFile* f) {
    if (!readOr(f, &itemCount,
                "Error @ CONDITIONhasitem::load(FILE *dialogFile) : Failed reading item count."))
        return false;
    if (!readOr(f, &itemName, "Error @ CONDITIONhasitem::load(FILE *dialogFile) : Failed to read item name."))
        return false;
    DialogTrace("*hasitem(%d, \"%s\")", (int)itemCount, itemName.c_str());
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Commands
bool COMMAND::loadList(DialogFile* f, COMMAND** listHead, COMMAND* append) {
    static const char* kFn = "COMMAND::loadList(dialogFile, listHead, append)";
    Nesting nesting(f);
    *listHead = nullptr;
    if (nesting.tooDeep()) {
        DialogError("Error @ %s : Command lists nested deeper than %d levels.", kFn, kMaxDialogNesting);
        return false;
    }
    COMMAND* last = nullptr;
    short type;
    if (!readOr(f, &type, "Error @ %s : Failed reading commandType.", kFn)) return false;
    DIALOG* d = f->owner;
    while (type != -1) {
        COMMAND* c = nullptr;
        const char* tag = "";
        switch (type) {
        case COMMAND_SKIP:
            c = d->make<COMMANDskip>();
            tag = "skip";
            break;
        case COMMAND_PLAYER:
            c = d->make<COMMANDplayer>();
            tag = "player";
            break;
        case COMMAND_NPC:
            c = d->make<COMMANDnpc>();
            tag = "npc";
            break;
        case COMMAND_REMARK:
            c = d->make<COMMANDremark>();
            tag = "remark";
            break;
        case COMMAND_LOG:
            c = d->make<COMMANDlog>();
            tag = "log";
            break;
        case COMMAND_SUSPEND:
            c = d->make<COMMANDsuspend>();
            tag = "suspend";
            break;
        case COMMAND_GOTO:
            c = d->make<COMMANDgoto>();
            tag = "goto";
            break;
        case COMMAND_QUERY:
            c = d->make<COMMANDquery>();
            tag = "query";
            break;
        case COMMAND_CYCLE:
            c = d->make<COMMANDcycle>();
            tag = "cycle";
            break;
        case COMMAND_RANDOM:
            c = d->make<COMMANDrandom>();
            tag = "random";
            break;
        case COMMAND_IFELSE:
            c = d->make<COMMANDifelse>();
            tag = "ifelse";
            break;
        case COMMAND_WHILE:
            c = d->make<COMMANDwhile>();
            tag = "while";
            break;
        case COMMAND_COMPOUND:
            c = d->make<COMMANDcompound>();
            tag = "compound";
            break;
        case COMMAND_SETQUEST:
            c = d->make<COMMANDsetquest>();
            tag = "setquest";
            break;
        case COMMAND_EXECUTESCRIPT:
            c = d->make<COMMANDexecutescript>();
            tag = "executescript";
            break;
        case COMMAND_ADDITEM:
            c = d->make<COMMANDadditem>();
            tag = "additem";
            break;
        case COMMAND_REMOVEITEM:
            c = d->make<COMMANDremoveitem>();
            tag = "removeitem";
            break;
        default: DialogError("Error @ %s : Invalid command type %d.", kFn, (int)type); return false;
        }
        DialogTrace("  *%s", tag);
        if (last)
            last->next = c;
        else
            *listHead = c;
        last = c;
        if (!c->load(f)) {
            DialogError("Error @ %s : Failed loading command specifics.", kFn);
            return false;
        }
        DialogTrace("\n");
        if (!readOr(f, &type, "Error @ %s : Failed reading commandType.", kFn)) return false;
    }
    if (last)
        last->next = append;
    else
        *listHead = append;
    return true;
}

bool COMMANDplayer::load(DialogFile* f) {
    if (!STRING::loadList(f, &strings)) {
        DialogError("Error @ COMMANDplayer::load(dialogFile): Failed loading string list.");
        return false;
    }
    traceStrings(strings);
    return true;
}

bool COMMANDnpc::load(DialogFile* f) {
    static const char* kFn = "COMMANDnpc::load(dialogFile)";
    if (!readOr(f, &fromNPCIndex, "Error @ %s : Failed reading fromNPCIndex.", kFn)) return false;
    if (!readOr(f, &toNPCIndex, "Error @ %s : Failed reading toNPCIndex.", kFn)) return false;
    if (!STRING::loadList(f, &strings)) {
        DialogError("Error @ %s : Failed loading string list.", kFn);
        return false;
    }
    traceStrings(strings);
    return true;
}

bool COMMANDremark::load(DialogFile* f) {
    static const char* kFn = "COMMANDremark::load(dialogFile)";
    if (!readOr(f, &fromNPCIndex, "Error @ %s : Failed reading fromNPCIndex.", kFn)) return false;
    if (!STRING::loadList(f, &strings)) {
        DialogError("Error @ %s : Failed loading string list.", kFn);
        return false;
    }
    traceStrings(strings);
    return true;
}

bool COMMANDlog::load(DialogFile* f) {
    if (!STRING::loadList(f, &strings)) {
        DialogError("Error @ COMMANDlog::load(dialogFile) : Failed loading string list.");
        return false;
    }
    traceStrings(strings);
    return true;
}

bool COMMANDgoto::load(DialogFile* f) {
    return readOr(f, &stateIndex, "Error @ COMMANDgoto::load(dialogFile) : Failed reading stateIndex.");
}

bool COMMANDquery::load(DialogFile* f) {
    if (!readOr(f, &numberOfOptions,
                "Error @ COMMANDquery::load(dialogFile) : Failed reading numberOfOptions."))
        return false;
    if (numberOfOptions < 0) {
        DialogError("Error @ COMMANDquery::load(dialogFile) : Invalid numberOfOptions: %d.",
                    (int)numberOfOptions);
        return false;
    }
    DIALOG* d = f->owner;
    DialogTrace("\n");
    for (int i = 0; i < numberOfOptions; ++i) {
        short type;
        if (!readOr(f, &type, "Error @ COMMANDquery::load(dialogFile) : Failed reading optionType."))
            return false;
        OPTION* option;
        if (type == OPTION_GOTO) {
            option = d->make<OPTIONgoto>();
            DialogTrace("     goto_option     ");
        } else if (type == OPTION_COMMANDS) {
            option = d->make<OPTIONcommands>();
            DialogTrace("     commands_option ");
        } else {
            DialogError("Error @ COMMANDquery::load(dialogFile) : Invalid option type %d.", (int)type);
            return false;
        }
        options.push_back(option);
        if (!option->load(f)) return false;
        if (type == OPTION_COMMANDS) {
            // the chosen commands continue after the query
            COMMAND* back = d->make<COMMANDgoto_pc_next>(this);
            COMMAND** link = &static_cast<OPTIONcommands*>(option)->commands;
            while (*link) link = &(*link)->next;
            *link = back;
        }
        DialogTrace("\n");
    }
    return true;
}

bool COMMANDalternatives::loadAlternatives(DialogFile* f, const char* function) {
    COMMAND* list = nullptr;
    if (!COMMAND::loadList(f, &list, nullptr)) {
        DialogError("Error @ %s : Failed loading command list.", function);
        return false;
    }
    COMMAND* c = list;
    for (int i = 0; i < numberOfCommands; ++i) {
        if (!c) {
            DialogError("Error @ %s : Command list too short (i=%d, numberOfCommands=%d).", function, i,
                        (int)numberOfCommands);
            return false;
        }
        COMMAND* successor = c->next;
        c->next = f->owner->make<COMMANDgoto_pc_next>(this);
        alternatives.push_back(c);
        c = successor;
    }
    ignored = c;
    return true;
}

bool COMMANDcycle::load(DialogFile* f) {
    static const char* kFn = "COMMANDcycle::load(dialogFile)";
    if (!readOr(f, &numberOfCommands, "Error @ %s : Failed reading numberOfCommands.", kFn)) return false;
    if (!readOr(f, &cycleIndex, "Error @ %s : Failed reading cycleIndex.", kFn)) return false;
    DialogTrace("\n");
    return loadAlternatives(f, kFn);
}

bool COMMANDrandom::load(DialogFile* f) {
    static const char* kFn = "COMMANDrandom::load(dialogFile)";
    if (!readOr(f, &numberOfCommands, "Error @ %s : Failed reading numberOfCommands.", kFn)) return false;
    DialogTrace("\n");
    return loadAlternatives(f, kFn);
}

bool COMMANDifelse::load(DialogFile* f) {
    static const char* kFn = "COMMANDifelse::load(dialogFile)";
    DialogTrace(" ");
    condition = CONDITION::loadTree(f);
    if (!condition) {
        DialogError("Error @ %s : Failed reading condition tree.", kFn);
        return false;
    }
    DialogTrace("\n");
    if (!COMMAND::loadList(f, &thenPart, f->owner->make<COMMANDgoto_pc_next>(this))) {
        DialogError("Error @ %s : Failed loading thenpart command list.", kFn);
        return false;
    }
    if (!COMMAND::loadList(f, &elsePart, f->owner->make<COMMANDgoto_pc_next>(this))) {
        DialogError("Error @ %s : Failed loading elsepart command list.", kFn);
        return false;
    }
    return true;
}

bool COMMANDwhile::load(DialogFile* f) {
    static const char* kFn = "COMMANDwhile::load(dialogFile)";
    DialogTrace(" ");
    condition = CONDITION::loadTree(f);
    if (!condition) {
        DialogError("Error @ %s : Failed reading condition tree.", kFn);
        return false;
    }
    DialogTrace("\n");
    if (!COMMAND::loadList(f, &body, f->owner->make<COMMANDgoto_pc>(this))) {
        DialogError("Error @ %s : Failed loading command list.", kFn);
        return false;
    }
    return true;
}

bool COMMANDcompound::load(DialogFile* f) {
    DialogTrace("\n");
    if (!COMMAND::loadList(f, &body, f->owner->make<COMMANDgoto_pc_next>(this))) {
        DialogError("Error @ COMMANDcompound::load(dialogFile) : Failed loading command list.");
        return false;
    }
    return true;
}

bool COMMANDsetquest::load(DialogFile* f) {
    if (!readOr(f, &questFlag, "Error @ COMMANDsetquest::load(dialogFile) : Failed to read quest string."))
        return false;
    DialogTrace(" \"%s\"", questFlag.c_str());
    return true;
}

bool COMMANDexecutescript::load(DialogFile* f) {
    if (!readOr(f, &scriptName,
                "Error @ COMMANDexecutescript::load(dialogFile) : Failed to read script name."))
        return false;
    DialogTrace(" \"%s\"", scriptName.c_str());
    return true;
}

bool COMMANDitem::loadItem(DialogFile* f, const char* function) {
    if (!readOr(f, &itemCount, "Error @ %s : Failed reading item count.", function)) return false;
    if (!readOr(f, &itemName, "Error @ %s : Failed to read item name.", function)) return false;
    DialogTrace(" %d \"%s\"", (int)itemCount, itemName.c_str());
    return true;
}

bool COMMANDadditem::load(DialogFile* f) { return loadItem(f, "COMMANDadditem::load(dialogFile)"); }
bool COMMANDremoveitem::load(DialogFile* f) { return loadItem(f, "COMMANDremoveitem::load(dialogFile)"); }

// ---------------------------------------------------------------------------
// [SECTION] Options
bool OPTIONgoto::load(DialogFile* f) {
    if (!STRING::loadList(f, &strings)) {
        DialogError("Error @ OPTIONgoto::load(dialogFile) : Failed loading string list.");
        return false;
    }
    traceStrings(strings);
    return readOr(f, &stateIndex, "Error @ OPTIONgoto::load(dialogFile) : Failed to read stateIndex.");
}

bool OPTIONcommands::load(DialogFile* f) {
    if (!STRING::loadList(f, &strings)) {
        DialogError("Error @ OPTIONcommands::load(dialogFile) : Failed loading string list.");
        return false;
    }
    traceStrings(strings);
    DialogTrace("\n");
    if (!COMMAND::loadList(f, &commands, nullptr)) {
        DialogError("Error @ OPTIONcommands::load(dialogFile) : Failed loading command list.");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] States
bool STATE::load(DialogFile* f) {
    static const char* kFn = "STATE::load(dialogFile)";
    short token;
    if (!readOr(f, &token, "Error @ %s : Failed reading token.", kFn)) return false;
    if (token != 0) {
        DialogError("Error @ %s : Expecting state token.", kFn);
        return false;
    }
    short modifiers;
    if (!readOr(f, &modifiers, "Error @ %s : Failed reading modifiers.", kFn)) return false;
    if (modifiers != 0 && modifiers != 1) {
        DialogError("Error @ %s : Invalid modifiers: %d.", kFn, (int)modifiers);
        return false;
    }
    repeatable = (unsigned char)modifiers;
    if (!readOr(f, &name, "Error @ %s : Failed to read state name.", kFn)) return false;
    DialogTrace("State name: '%s'.\n", name.c_str());
    condition = CONDITION::loadTree(f);
    if (!condition) {
        DialogError("Error @ %s : Failed reading condition tree.", kFn);
        return false;
    }
    DialogTrace("\n");
    if (!COMMAND::loadList(f, &commands, nullptr)) {
        DialogError("Error @ %s : Failed loading command list.", kFn);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] The dialog
DIALOG::DIALOG() {}
DIALOG::~DIALOG() {}

void DIALOG::reset() {
    parameters.clear();
    states.clear();
    trailer.clear();
    parameterCount = stateCount = numberOfCycles = 0;
    pool_.clear();
}

bool DIALOG::loadBytes(const unsigned char* data, size_t size, const char* name, const char* path) {
    static const char* kFn = "DIALOG::load(dialog)";
    reset();
    DialogFile file(data, size, this);
    DialogFile* f = &file;
    char hallmark[3];
    if (f->read(hallmark, 1, 3) != 3) {
        DialogError("Error @ %s : fread failed when loading hallmark.", kFn);
        return false;
    }
    if (std::memcmp(hallmark, "DLG", 3) != 0) {
        DialogError("Error @ %s : Hallmark not recognized.", kFn);
        return false;
    }
    short high, low;
    if (!readOr(f, &high, "Error @ %s : Failed reading versionHigh.", kFn)) return false;
    if (!readOr(f, &low, "Error @ %s : Failed reading versionLow.", kFn)) return false;
    if (high != 0 || low != 6) {
        DialogError("Error @ %s : Invalid dialog file version. File version: %d.%d. Expected version: 0.6.",
                    kFn, (int)high, (int)low);
        return false;
    }
    if (!readOr(f, &parameterCount, "Error @ %s : Failed reading parameterCount.", kFn)) return false;
    if (parameterCount < 0) {
        // a negative count cannot size an array
        DialogError("Error @ %s : Invalid parameterCount: %d.", kFn, (int)parameterCount);
        return false;
    }
    for (int i = 0; i < parameterCount; ++i) {
        short type;
        if (!readOr(f, &type, "Error @ %s : Failed reading parameterType.", kFn)) return false;
        PARAMETER* p;
        if (type == 0)
            p = make<PARAMETERnpc>();
        else if (type == 1)
            p = make<PARAMETERstring>();
        else {
            DialogError("Error @ %s : Invalid parameter type %d.", kFn, (int)type);
            return false;
        }
        parameters.push_back(p);
        if (!p->load(f)) return false;
        DialogTrace("Parameter #%d: %s %s\n", i, type == 0 ? "npc" : "string", p->name.c_str());
    }
    if (!readOr(f, &stateCount, "Error @ %s : Failed reading stateCount.", kFn)) return false;
    if (stateCount < 0) {
        DialogError("Error @ %s : Invalid stateCount: %d.", kFn, (int)stateCount);
        return false;
    }
    DialogTrace("Number of states = %d\n", (int)stateCount);
    for (int i = 0; i < stateCount; ++i) {
        STATE* s = make<STATE>();
        states.push_back(s);
        if (!s->load(f)) {
            DialogError("Error @ %s : Failed loading state %d.", kFn, i);
            return false;
        }
    }
    if (!readOr(f, &numberOfCycles, "Error @ %s : Failed reading numberOfCycles.", kFn)) return false;
    trailer.assign(data + f->position(), data + size);
    if (!checkReferences()) return false;
    DialogTrace("Dialog %s (%s) has been loaded.\n", name, path);
    DialogTrace("%d parameter(s), %d state(s).\n", (int)parameterCount, (int)stateCount);
    return true;
}

bool DIALOG::load(const char* name) {
    std::string path = std::string(name) + ".dlg";
    DialogTrace("Opening dialog file '%s'.\n", path.c_str());
    DataFile file;
    if (!file.Open(path.c_str())) {
        DialogError("Error @ DIALOG::load(dialog) : Could not open file '%s'.", path.c_str());
        return false;
    }
    long size = file.Size();
    std::vector<unsigned char> bytes;
    if (size > 0) {
        char* block = file.ReadBytes((int)size);
        if (block) {
            bytes.assign(block, block + size);
            delete[] block;
        }
    }
    file.Close();
    return loadBytes(bytes.data(), bytes.size(), name, path.c_str());
}
