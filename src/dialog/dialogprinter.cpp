// The dialog printer: a loaded dialog as dialog-language source that compiles
// back to the same bytes.
#include "dialog/dialoglanguage.h"
#include "utility/quote.h"

namespace {

// Texts keep their bytes above 0x7F, as the language reads them.
std::string quote(const std::string& s) { return QuoteText(s, QuoteHighBytes::kKeep); }

bool isIdentifier(const std::string& s) {
    if (s.empty()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
    }
    return true;
}

class Printer {
public:
    explicit Printer(const DIALOG& d) : d_(d) {
        for (const PARAMETER* p : d.parameters) paramNames_.push_back(p->name);
        for (const STATE* s : d.states) stateNames_.push_back(s->name);
    }

    std::string run() {
        for (const PARAMETER* p : d_.parameters)
            out_ += std::string(p->getType() == PARAMETER_NPC ? "npc " : "string ") + name(p->name) + "\n";
        out_ += "cycles " + std::to_string(d_.numberOfCycles) + "\n";
        for (const STATE* s : d_.states) {
            out_ += "\nstate " + name(s->name);
            if (s->repeatable) out_ += " repeatable";
            if (s->condition->code() != CONDITION_TRUE) out_ += " when " + condition(s->condition);
            out_ += " {\n";
            list(s->commands, 1);
            out_ += "}\n";
        }
        if (!d_.trailer.empty())
            out_ += "\ntrailer " + quote(std::string(d_.trailer.begin(), d_.trailer.end())) + "\n";
        return out_;
    }

private:
    static std::string name(const std::string& n) { return isIdentifier(n) ? n : quote(n); }
    static std::string ref(const std::vector<std::string>& names, int index) {
        int same = 0;
        for (const std::string& n : names) same += n == names[index];
        if (same != 1) return "@" + std::to_string(index);
        return name(names[index]);
    }
    std::string param(int i) const { return ref(paramNames_, i); }
    std::string state(int i) const { return ref(stateNames_, i); }

    std::string text(const STRING* s) const {
        std::string t;
        for (; s; s = s->next) {
            if (s->code() == 0)
                t += " $" + param(static_cast<const STRINGparameter*>(s)->parameterIndex);
            else
                t += " " + quote(static_cast<const STRINGconst*>(s)->text);
        }
        return t;
    }

    std::string operand(const CONDITION* c) const {
        bool binary = c->code() == CONDITION_AND || c->code() == CONDITION_OR;
        return binary ? "(" + condition(c) + ")" : condition(c);
    }
    std::string condition(const CONDITION* c) const {
        switch (c->code()) {
        case CONDITION_TRUE: return "true";
        case CONDITION_FALSE: return "false";
        case CONDITION_AND:
        case CONDITION_OR: {
            auto b = static_cast<const CONDITIONbinary*>(c);
            return operand(b->left) + (c->code() == CONDITION_AND ? " and " : " or ") + operand(b->right);
        }
        case CONDITION_NOT: return "not " + operand(static_cast<const CONDITIONnot*>(c)->condition);
        case CONDITION_ENABLED:
            return "enabled(" + state(static_cast<const CONDITIONstate*>(c)->stateIndex) + ")";
        case CONDITION_DISABLED:
            return "disabled(" + state(static_cast<const CONDITIONstate*>(c)->stateIndex) + ")";
        case CONDITION_HEARDABOUT:
            return "heard(" + state(static_cast<const CONDITIONstate*>(c)->stateIndex) + ")";
        case CONDITION_QUEST: return "quest(" + quote(static_cast<const CONDITIONquest*>(c)->questFlag) + ")";
        case CONDITION_HASITEM: {
            auto h = static_cast<const CONDITIONhasitem*>(c);
            std::string count = h->itemCount == 1 ? "" : std::to_string(h->itemCount) + ", ";
            return "hasitem(" + count + quote(h->itemName) + ")";
        }
        }
        return "false";
    }

    void line(int depth, const std::string& s) { out_ += std::string(depth * 4, ' ') + s + "\n"; }

    void list(const COMMAND* c, int depth) {
        for (; c && !c->isContinuation(); c = c->next) command(c, depth);
    }

    void block(const std::string& head, const COMMAND* body, int depth) {
        line(depth, head + " {");
        list(body, depth + 1);
    }

    void command(const COMMAND* c, int depth) {
        switch (c->code()) {
        case COMMAND_SKIP: line(depth, "skip"); break;
        case COMMAND_SUSPEND: line(depth, "suspend"); break;
        case COMMAND_PLAYER:
            line(depth, "player" + text(static_cast<const COMMANDplayer*>(c)->strings));
            break;
        case COMMAND_LOG: line(depth, "log" + text(static_cast<const COMMANDlog*>(c)->strings)); break;
        case COMMAND_NPC: {
            auto n = static_cast<const COMMANDnpc*>(c);
            std::string s = "npc " + param(n->fromNPCIndex);
            if (n->toNPCIndex != n->fromNPCIndex) s += " to " + param(n->toNPCIndex);
            line(depth, s + text(n->strings));
            break;
        }
        case COMMAND_REMARK: {
            auto r = static_cast<const COMMANDremark*>(c);
            line(depth, "remark " + param(r->fromNPCIndex) + text(r->strings));
            break;
        }
        case COMMAND_GOTO:
            line(depth, "goto " + state(static_cast<const COMMANDgoto*>(c)->stateIndex));
            break;
        case COMMAND_QUERY: {
            line(depth, "query {");
            for (const OPTION* o : static_cast<const COMMANDquery*>(c)->options) {
                std::string head = "option" + text(o->strings);
                if (o->code() == OPTION_GOTO) {
                    line(depth + 1, head + " goto " + state(static_cast<const OPTIONgoto*>(o)->stateIndex));
                } else {
                    block(head, static_cast<const OPTIONcommands*>(o)->commands, depth + 1);
                    line(depth + 1, "}");
                }
            }
            line(depth, "}");
            break;
        }
        case COMMAND_CYCLE:
        case COMMAND_RANDOM: {
            auto a = static_cast<const COMMANDalternatives*>(c);
            std::string head =
                c->code() == COMMAND_CYCLE
                    ? "cycle " + std::to_string(static_cast<const COMMANDcycle*>(c)->cycleIndex)
                    : std::string("random");
            line(depth, head + " {");
            for (const COMMAND* alt : a->alternatives) command(alt, depth + 1);
            if (a->ignored) {
                line(depth, "} ignored {");
                list(a->ignored, depth + 1);
            }
            line(depth, "}");
            break;
        }
        case COMMAND_IFELSE: {
            auto i = static_cast<const COMMANDifelse*>(c);
            block("if " + condition(i->condition), i->thenPart, depth);
            if (i->elsePart && !i->elsePart->isContinuation()) {
                line(depth, "} else {");
                list(i->elsePart, depth + 1);
            }
            line(depth, "}");
            break;
        }
        case COMMAND_WHILE: {
            auto w = static_cast<const COMMANDwhile*>(c);
            block("while " + condition(w->condition), w->body, depth);
            line(depth, "}");
            break;
        }
        case COMMAND_COMPOUND:
            block("group", static_cast<const COMMANDcompound*>(c)->body, depth);
            line(depth, "}");
            break;
        case COMMAND_SETQUEST:
            line(depth, "setquest " + quote(static_cast<const COMMANDsetquest*>(c)->questFlag));
            break;
        case COMMAND_EXECUTESCRIPT:
            line(depth, "script " + quote(static_cast<const COMMANDexecutescript*>(c)->scriptName));
            break;
        case COMMAND_ADDITEM:
        case COMMAND_REMOVEITEM: {
            auto i = static_cast<const COMMANDitem*>(c);
            std::string count = i->itemCount == 1 ? "" : std::to_string(i->itemCount) + " ";
            line(depth, std::string(c->code() == COMMAND_ADDITEM ? "additem " : "removeitem ") + count +
                            quote(i->itemName));
            break;
        }
        default: break;
        }
    }

    const DIALOG& d_;
    std::vector<std::string> paramNames_, stateNames_;
    std::string out_;
};

}  // namespace

std::string DecompileDialog(const DIALOG& dialog) { return Printer(dialog).run(); }
