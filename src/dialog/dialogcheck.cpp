// The reference checks of a loaded dialog: an index outside its array would
// make the running conversation read outside the dialog, so such files are
// refused whole.
#include "dialog/dialogfile.h"
#include "dialog/dialogstreams.h"

namespace {

struct ReferenceCheck {
    const DIALOG* d;
    int state = 0;

    bool fail(const char* what, int index, const char* count, int n) {
        DialogError("Error @ DIALOG::load(dialog) : State %d refers to %s %d, out of range (%s=%d).", state,
                    what, index, count, n);
        return false;
    }
    bool stateIndex(int i) {
        return (i >= 0 && i < d->stateCount) || fail("state", i, "stateCount", d->stateCount);
    }
    bool parameter(int i) {
        return (i >= 0 && i < d->parameterCount) || fail("parameter", i, "parameterCount", d->parameterCount);
    }
    bool strings(const STRING* s) {
        for (; s; s = s->next)
            if (s->code() == 0 && !parameter(static_cast<const STRINGparameter*>(s)->parameterIndex))
                return false;
        return true;
    }
    bool condition(const CONDITION* c) {
        switch (c->code()) {
        case CONDITION_AND:
        case CONDITION_OR: {
            auto b = static_cast<const CONDITIONbinary*>(c);
            return condition(b->left) && condition(b->right);
        }
        case CONDITION_NOT: return condition(static_cast<const CONDITIONnot*>(c)->condition);
        case CONDITION_ENABLED:
        case CONDITION_DISABLED:
        case CONDITION_HEARDABOUT: return stateIndex(static_cast<const CONDITIONstate*>(c)->stateIndex);
        default: return true;
        }
    }
    bool list(const COMMAND* c) {
        for (; c && !c->isContinuation(); c = c->next)
            if (!command(c)) return false;
        return true;
    }
    bool command(const COMMAND* c) {
        switch (c->code()) {
        case COMMAND_PLAYER: return strings(static_cast<const COMMANDplayer*>(c)->strings);
        case COMMAND_LOG: return strings(static_cast<const COMMANDlog*>(c)->strings);
        case COMMAND_NPC: {
            auto n = static_cast<const COMMANDnpc*>(c);
            return parameter(n->fromNPCIndex) && parameter(n->toNPCIndex) && strings(n->strings);
        }
        case COMMAND_REMARK: {
            auto r = static_cast<const COMMANDremark*>(c);
            return parameter(r->fromNPCIndex) && strings(r->strings);
        }
        case COMMAND_GOTO: return stateIndex(static_cast<const COMMANDgoto*>(c)->stateIndex);
        case COMMAND_QUERY:
            for (const OPTION* o : static_cast<const COMMANDquery*>(c)->options) {
                if (!strings(o->strings)) return false;
                if (o->code() == OPTION_GOTO ? !stateIndex(static_cast<const OPTIONgoto*>(o)->stateIndex)
                                             : !list(static_cast<const OPTIONcommands*>(o)->commands))
                    return false;
            }
            return true;
        case COMMAND_CYCLE:
        case COMMAND_RANDOM: {
            auto a = static_cast<const COMMANDalternatives*>(c);
            const char* kind = c->code() == COMMAND_CYCLE ? "cycle" : "random";
            if (a->numberOfCommands <= 0) {
                DialogError(
                    "Error @ DIALOG::load(dialog) : State %d has a %s without alternatives "
                    "(numberOfCommands=%d).",
                    state, kind, (int)a->numberOfCommands);
                return false;
            }
            if (c->code() == COMMAND_CYCLE) {
                int index = static_cast<const COMMANDcycle*>(c)->cycleIndex;
                if (index < 0 || index >= d->numberOfCycles)
                    return fail("cycle", index, "numberOfCycles", d->numberOfCycles);
            }
            for (const COMMAND* alt : a->alternatives)
                if (!command(alt)) return false;
            return list(a->ignored);
        }
        case COMMAND_IFELSE: {
            auto i = static_cast<const COMMANDifelse*>(c);
            return condition(i->condition) && list(i->thenPart) && list(i->elsePart);
        }
        case COMMAND_WHILE: {
            auto w = static_cast<const COMMANDwhile*>(c);
            return condition(w->condition) && list(w->body);
        }
        case COMMAND_COMPOUND: return list(static_cast<const COMMANDcompound*>(c)->body);
        default: return true;
        }
    }
};

}  // namespace

bool DIALOG::checkReferences() {
    ReferenceCheck check{this};
    for (int i = 0; i < stateSlots(); ++i) {
        check.state = i;
        if (!check.condition(states[i]->condition) || !check.list(states[i]->commands)) return false;
    }
    return true;
}
