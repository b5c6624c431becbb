// The dialog writer: a dialog back into the file layout, byte for byte what
// the loader read.
#include "dialog/dialogfile.h"

namespace {

struct Writer {
    std::vector<unsigned char> out;

    void i16(int v) {
        out.push_back((unsigned char)(v & 0xff));
        out.push_back((unsigned char)((v >> 8) & 0xff));
    }
    void text(const std::string& s) {
        i16((int)s.size());
        out.insert(out.end(), s.begin(), s.end());
    }
    void strings(const STRING* s) {
        for (; s; s = s->next) {
            i16(s->code());
            if (s->code() == 0)
                i16(static_cast<const STRINGparameter*>(s)->parameterIndex);
            else
                text(static_cast<const STRINGconst*>(s)->text);
        }
        i16(-1);
    }
    void condition(const CONDITION* c) {
        i16(c->code());
        switch (c->code()) {
        case CONDITION_AND:
        case CONDITION_OR:
            condition(static_cast<const CONDITIONbinary*>(c)->left);
            condition(static_cast<const CONDITIONbinary*>(c)->right);
            break;
        case CONDITION_NOT: condition(static_cast<const CONDITIONnot*>(c)->condition); break;
        case CONDITION_ENABLED:
        case CONDITION_DISABLED:
        case CONDITION_HEARDABOUT: i16(static_cast<const CONDITIONstate*>(c)->stateIndex); break;
        case CONDITION_QUEST: text(static_cast<const CONDITIONquest*>(c)->questFlag); break;
        case CONDITION_HASITEM:
            i16(static_cast<const CONDITIONhasitem*>(c)->itemCount);
            text(static_cast<const CONDITIONhasitem*>(c)->itemName);
            break;
        default: break;
        }
    }
    void list(const COMMAND* c) {
        for (; c && !c->isContinuation(); c = c->next) command(c);
        i16(-1);
    }
    void command(const COMMAND* c) {
        i16(c->code());
        switch (c->code()) {
        case COMMAND_PLAYER: strings(static_cast<const COMMANDplayer*>(c)->strings); break;
        case COMMAND_LOG: strings(static_cast<const COMMANDlog*>(c)->strings); break;
        case COMMAND_NPC: {
            auto n = static_cast<const COMMANDnpc*>(c);
            i16(n->fromNPCIndex);
            i16(n->toNPCIndex);
            strings(n->strings);
            break;
        }
        case COMMAND_REMARK: {
            auto r = static_cast<const COMMANDremark*>(c);
            i16(r->fromNPCIndex);
            strings(r->strings);
            break;
        }
        case COMMAND_GOTO: i16(static_cast<const COMMANDgoto*>(c)->stateIndex); break;
        case COMMAND_QUERY: {
            auto q = static_cast<const COMMANDquery*>(c);
            i16(q->numberOfOptions);
            for (const OPTION* o : q->options) {
                i16(o->code());
                strings(o->strings);
                if (o->code() == OPTION_GOTO)
                    i16(static_cast<const OPTIONgoto*>(o)->stateIndex);
                else
                    list(static_cast<const OPTIONcommands*>(o)->commands);
            }
            break;
        }
        case COMMAND_CYCLE:
        case COMMAND_RANDOM: {
            auto a = static_cast<const COMMANDalternatives*>(c);
            i16(a->numberOfCommands);
            if (c->code() == COMMAND_CYCLE) i16(static_cast<const COMMANDcycle*>(c)->cycleIndex);
            for (const COMMAND* alt : a->alternatives) command(alt);
            list(a->ignored);
            break;
        }
        case COMMAND_IFELSE: {
            auto i = static_cast<const COMMANDifelse*>(c);
            condition(i->condition);
            list(i->thenPart);
            list(i->elsePart);
            break;
        }
        case COMMAND_WHILE:
            condition(static_cast<const COMMANDwhile*>(c)->condition);
            list(static_cast<const COMMANDwhile*>(c)->body);
            break;
        case COMMAND_COMPOUND: list(static_cast<const COMMANDcompound*>(c)->body); break;
        case COMMAND_SETQUEST: text(static_cast<const COMMANDsetquest*>(c)->questFlag); break;
        case COMMAND_EXECUTESCRIPT: text(static_cast<const COMMANDexecutescript*>(c)->scriptName); break;
        case COMMAND_ADDITEM:
        case COMMAND_REMOVEITEM:
            i16(static_cast<const COMMANDitem*>(c)->itemCount);
            text(static_cast<const COMMANDitem*>(c)->itemName);
            break;
        default: break;
        }
    }
};

}  // namespace

std::vector<unsigned char> writeDialog(const DIALOG& d) {
    Writer w;
    w.out.reserve(64);
    for (char c : {'D', 'L', 'G'}) w.out.push_back((unsigned char)c);
    w.i16(0);
    w.i16(6);
    w.i16(d.parameterCount);
    for (const PARAMETER* p : d.parameters) {
        w.i16(p->getType() == PARAMETER_NPC ? 0 : 1);
        w.text(p->name);
    }
    w.i16(d.stateCount);
    for (const STATE* s : d.states) {
        w.i16(0);
        w.i16(s->repeatable);
        w.text(s->name);
        w.condition(s->condition);
        w.list(s->commands);
    }
    w.i16(d.numberOfCycles);
    w.out.insert(w.out.end(), d.trailer.begin(), d.trailer.end());
    return w.out;
}
