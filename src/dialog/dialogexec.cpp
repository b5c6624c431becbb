// Execution of dialog commands, conditions and options, and the instance
// that steps them.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "dialog/dialoginstance.h"
#include "dialog/dialogmanager.h"
#include "dialog/dialogstreams.h"
#include "utility/random.h"

namespace {

DefaultEnvironmentProxy g_defaultProxy;
EnvironmentProxy* g_proxy = &g_defaultProxy;

const char* truth(bool b) { return b ? "TRUE" : "FALSE"; }

String toString(const std::string& s) { return String(s.c_str(), (int)s.size()); }

// Pointers as an output stream writes them: a null one is "0", any other hexadecimal with "0x".
std::string pointerText(const void* p) {
    if (!p) return "0";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%" PRIxPTR, (uintptr_t)p);
    return buffer;
}

}  // namespace

bool DefaultEnvironmentProxy::questFlagDefined(const String&) {
    DialogError(
        "Error @ DefaultEnvironmentProxy::questFlagDefined(questFlag) : No environment proxy has been "
        "specified.");
    return false;
}

bool DefaultEnvironmentProxy::hasItem(short, const String&) {
    DialogError(
        "Error @ DefaultEnvironmentProxy::hasItem(itemCount, itemName) : No environment proxy has been "
        "specified.");
    return false;
}

EnvironmentProxy* GetEnvironmentProxy() { return g_proxy; }
void SetEnvironmentProxy(EnvironmentProxy* proxy) { g_proxy = proxy ? proxy : &g_defaultProxy; }

Action* ContinueStep() {
    static ActionSuspend marker;
    return &marker;
}

// ---------------------------------------------------------------------------
// Strings
void STRINGparameter::instantiate(ParameterValue** values, std::string* out) const {
    const ParameterValue* v = values[parameterIndex];
    if (v->type != PARAMETER_STRING) {
        // npc parameters cannot be quoted inside text
        DialogTrace("Warning @ STRINGparameter::instantiate(parameterValue) : Invalid parameter type %d.\n",
                    (int)v->type);
        return;
    }
    if (v->text) out->append(v->text);
}

void STRINGconst::instantiate(ParameterValue**, std::string* out) const { out->append(text); }

std::string instantiateStrings(const STRING* list, ParameterValue** values) {
    std::string text;
    for (; list; list = list->next) list->instantiate(values, &text);
    return text;
}

// ---------------------------------------------------------------------------
// Conditions
bool stateEnabled(ExecEnv* env, int i) {
    if (env->aborted) return false;
    STATE* state = env->states[i];
    bool enabled = state->repeatable ? true : env->heard[i] == 0;
    if (!enabled) return false;
    if ((size_t)env->stateCount > env->evaluating.size()) env->evaluating.assign((size_t)env->stateCount, 0);
    if (env->evaluating[i]) {
        DialogError(
            "Error @ stateEnabled(execEnv, stateIndex) : The condition of state %d depends on its own "
            "enablement. Suspending.",
            i);
        env->aborted = true;
        return false;
    }
    if (env->enabledDepth >= kMaxEnabledDepth) {
        DialogError(
            "Error @ stateEnabled(execEnv, stateIndex) : State conditions nested deeper than %d states. "
            "Suspending.",
            kMaxEnabledDepth);
        env->aborted = true;
        return false;
    }
    env->evaluating[i] = 1;
    ++env->enabledDepth;
    bool holds = state->condition->evaluate(env);
    --env->enabledDepth;
    env->evaluating[i] = 0;
    return holds && !env->aborted;
}

bool CONDITIONtrue::evaluate(ExecEnv*) { return true; }
bool CONDITIONfalse::evaluate(ExecEnv*) { return false; }

bool CONDITIONand::evaluate(ExecEnv* env) {
    DialogTrace("(");
    bool l = left->evaluate(env);
    DialogTrace(" and ");
    bool r = right->evaluate(env);  // always evaluated: both sides may ask the game
    DialogTrace(")");
    return l && r;
}

bool CONDITIONor::evaluate(ExecEnv* env) {
    DialogTrace("(");
    bool l = left->evaluate(env);
    DialogTrace(" or ");
    bool r = right->evaluate(env);
    DialogTrace(")");
    return l || r;
}

bool CONDITIONnot::evaluate(ExecEnv* env) {
    DialogTrace("(not ");
    bool v = !condition->evaluate(env);
    DialogTrace(")");
    return v;
}

bool CONDITIONenabled::evaluate(ExecEnv* env) {
    bool v = stateEnabled(env, stateIndex);
    DialogTrace("enabled(%d)=%s", (int)stateIndex, truth(v));
    return v;
}

bool CONDITIONdisabled::evaluate(ExecEnv* env) {
    bool v = !stateEnabled(env, stateIndex);
    DialogTrace("disabled(%d)=%s", (int)stateIndex, truth(v));
    return v;
}

bool CONDITIONheardabout::evaluate(ExecEnv* env) {
    bool v = env->heard[stateIndex] != 0;
    DialogTrace("heardabout(%d)=%s", (int)stateIndex, truth(v));
    return v;
}

bool CONDITIONquest::evaluate(ExecEnv*) {
    bool v = GetEnvironmentProxy()->questFlagDefined(toString(questFlag));
    DialogTrace("quest(\"%s\")=%s", questFlag.c_str(), truth(v));
    return v;
}

bool CONDITIONhasitem::evaluate(ExecEnv*) {
    bool v = GetEnvironmentProxy()->hasItem(itemCount, toString(itemName));
    DialogTrace("hasitem(%d, \"%s\")=%s", (int)itemCount, itemName.c_str(), truth(v));
    return v;
}

// ---------------------------------------------------------------------------
// Commands
Action* COMMAND::executeNext(ExecEnv*, COMMAND*& PC) {
    if (!next) {
        DialogError(
            "Error @ COMMAND::executeNext(parameterValue, PC) : Unexpected end of command-list. Suspending.");
        return new ActionSuspend();
    }
    PC = next;
    return ContinueStep();
}

Action* executeCommands(ExecEnv*, COMMAND*& PC, COMMAND* commands) {
    if (!commands) {
        DialogError(
            "Error @ executeCommands(execEnv, PC, commands) : Unexpected end of command-list. Suspending.");
        return new ActionSuspend();
    }
    PC = commands;
    return ContinueStep();
}

Action* COMMANDskip::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *skip\n");
    return executeNext(env, PC);
}

Action* COMMANDplayer::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *player\n");
    String text = toString(instantiateStrings(strings, env->parameterValues));
    PC = next;
    return new ActionPlayerLine(text);
}

Action* COMMANDnpc::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *npc\n  <NPC %d to %d>\n", (int)fromNPCIndex, (int)toNPCIndex);
    ParameterValue* from = env->parameterValues[fromNPCIndex];
    ParameterValue* to = env->parameterValues[toNPCIndex];
    if (from->type != PARAMETER_NPC) {
        DialogError("Error @ COMMANDnpc::execute(execEnv, PC) : From-parameter is not an NPC.");
        return executeNext(env, PC);
    }
    if (to->type != PARAMETER_NPC) {
        DialogError("Error @ COMMANDnpc::execute(execEnv, PC) : To-parameter is not an NPC.");
        return executeNext(env, PC);
    }
    String speaker = from->name ? *from->name : String();
    String listener = to->name ? *to->name : String();
    String text = toString(instantiateStrings(strings, env->parameterValues));
    PC = next;
    return new ActionNpcLine(speaker, toNPCIndex != fromNPCIndex ? &listener : nullptr, text);
}

Action* COMMANDremark::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *remark\n  <REMARK %d>\n", (int)fromNPCIndex);
    ParameterValue* from = env->parameterValues[fromNPCIndex];
    if (from->type != PARAMETER_NPC) {
        DialogError("Error @ COMMANDremark::execute(execEnv, PC) : From-parameter is not an NPC.");
        return executeNext(env, PC);
    }
    String speaker = from->name ? *from->name : String();
    String text = toString(instantiateStrings(strings, env->parameterValues));
    PC = next;
    return new ActionRemark(speaker, text);
}

Action* COMMANDlog::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *log\n");
    String text = toString(instantiateStrings(strings, env->parameterValues));
    PC = next;
    return new ActionLogEntry(text);
}

Action* COMMANDsuspend::execute(ExecEnv*, COMMAND*& PC) {
    DialogTrace("  *suspend\n");
    PC = next;
    return new ActionSuspend();
}

Action* COMMANDgoto::execute(ExecEnv* env, COMMAND*& PC) {
    STATE* target = env->states[stateIndex];
    DialogTrace("  *goto\n  <GOTO %s>\n", target->name.c_str());
    env->heard[stateIndex] = 1;
    return executeCommands(env, PC, target->commands);
}

Action* COMMANDquery::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *query\n");
    std::vector<OPTION*> offered;
    for (OPTION* o : options)
        if (o->isEnabled(env)) offered.push_back(o);
    if (env->aborted) return ContinueStep();  // the step loop reports the broken condition
    auto* action = new ActionQueryImplementation((int)offered.size(),
                                                 offered.empty() ? nullptr : offered.data(), env, &PC);
    if (!action->valid) {
        delete action;
        DialogError(
            "Error @ COMMANDquery::execute(execEnv, PC) : Failed ActionQueryImplementation construction.");
        return nullptr;
    }
    return action;
}

Action* COMMANDcycle::execute(ExecEnv* env, COMMAND*& PC) {
    int i = env->cycleCounters[cycleIndex];
    DialogTrace("  *cycle\n  <CYCLE %d>\n", i);
    env->cycleCounters[cycleIndex] = (i + 1) % numberOfCommands;
    return executeCommands(env, PC, alternatives[i]);
}

Action* COMMANDrandom::execute(ExecEnv* env, COMMAND*& PC) {
    int k = Z1Rand() % numberOfCommands;
    DialogTrace("  *random\n  <RANDOM %d>\n", k);
    return executeCommands(env, PC, alternatives[k]);
}

Action* COMMANDifelse::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *ifelse\n  <ifelse ");
    bool holds = condition->evaluate(env);
    DialogTrace(">\n");
    if (env->aborted) return ContinueStep();
    return executeCommands(env, PC, holds ? thenPart : elsePart);
}

Action* COMMANDwhile::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *while\n  <while ");
    bool holds = condition->evaluate(env);
    DialogTrace(">\n");
    if (env->aborted) return ContinueStep();
    if (holds) return executeCommands(env, PC, body);
    return executeNext(env, PC);
}

Action* COMMANDcompound::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  *compound\n");
    return executeCommands(env, PC, body);
}

Action* COMMANDsetquest::execute(ExecEnv*, COMMAND*& PC) {
    DialogTrace("  *setquest\n");
    PC = next;
    return new ActionSetQuest(toString(questFlag));
}

Action* COMMANDexecutescript::execute(ExecEnv*, COMMAND*& PC) {
    DialogTrace("  *executescript\n");
    PC = next;
    return new ActionExecuteScript(toString(scriptName));
}

Action* COMMANDadditem::execute(ExecEnv*, COMMAND*& PC) {
    DialogTrace("  *additem\n");
    PC = next;
    return new ActionItem(ACTION_ADDITEM, itemCount, toString(itemName));
}

Action* COMMANDremoveitem::execute(ExecEnv*, COMMAND*& PC) {
    DialogTrace("  *removeitem\n");
    PC = next;
    return new ActionItem(ACTION_REMOVEITEM, itemCount, toString(itemName));
}

Action* COMMANDgoto_pc::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  <GOTO_PC %d>\n", target ? target->code() : -1);
    return executeCommands(env, PC, target);
}

Action* COMMANDgoto_pc_next::execute(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  <GOTO_PC_NEXT %d>\n", target ? target->code() : -1);
    if (!target) {
        DialogError(
            "Error @ COMMANDgoto_pc_next::execute(execEnv, PC) : NULL command. Next was not reachable.");
        return executeCommands(env, PC, nullptr);
    }
    return executeCommands(env, PC, target->next);
}

// ---------------------------------------------------------------------------
// Options
std::string OPTION::getText(ExecEnv* env) const { return instantiateStrings(strings, env->parameterValues); }

bool OPTIONgoto::isEnabled(ExecEnv* env) { return stateEnabled(env, stateIndex); }

void OPTIONgoto::select(ExecEnv* env, COMMAND*& PC) {
    DialogTrace("  <OPTIONgoto %s>\n", env->states[stateIndex]->name.c_str());
    PC = env->states[stateIndex]->commands;
    env->heard[stateIndex] = 1;
}

bool OPTIONcommands::isEnabled(ExecEnv*) { return true; }

void OPTIONcommands::select(ExecEnv*, COMMAND*& PC) {
    DialogTrace("  <OPTIONcommands>\n");
    PC = commands;
}

ActionQueryImplementation::ActionQueryImplementation(int count, OPTION** option, ExecEnv* env, COMMAND** pc) {
    if (count <= 0 || !option || !env || !pc) {
        DialogError(
            "Error @ ActionQueryImplementation::ActionQueryImplementation(numberOfOptions, option, execEnv, "
            "PC) : Invalid parameters (numberOfOptions=%d, option=%s, execEnv=%s, PC=%s).",
            count, pointerText(option).c_str(), pointerText(env).c_str(), pointerText(pc).c_str());
        return;
    }
    numberOfOptions = count;
    options.assign(option, option + count);
    execEnv = env;
    PC = pc;
    for (OPTION* o : options) optionTexts.push_back(toString(o->getText(env)));
    valid = true;
}

void ActionQueryImplementation::select(int selection) {
    if (!valid) {
        std::fprintf(stderr, "Error @ ActionQueryImplementation::select(selection) : Object not valid.\n");
        return;
    }
    if (selection < 0 || selection >= numberOfOptions) {
        DialogError(
            "Error @ ActionQueryImplementation::select(selection) : Selected option out of range "
            "(selected=%d, max=%d).",
            selection, numberOfOptions);
        selection = 0;
    }
    options[selection]->select(execEnv, *PC);
    DialogTrace("  Option %d was selected.\n", selection);
}

// ---------------------------------------------------------------------------
// Instance
DialogInstanceImplementation::DialogInstanceImplementation(const char* dialogName,
                                                           ParameterValue** parameters) {
    static const char* kFn =
        "DialogInstanceImplementation::DialogInstanceImplementation(dialogName, parameters)";
    DialogTrace("Instantiating dialog: %s.\n", dialogName);
    dialog = getDialog(dialogName);
    if (!dialog) {
        DialogError("Error @ %s : Failed to load the dialog '%s'.", kFn, dialogName);
        return;
    }
    for (int i = 0; i < dialog->parameterSlots(); ++i) {
        int expected = dialog->parameters[i]->getType();
        ParameterValue* v = parameters ? parameters[i] : nullptr;
        int given = v ? (int)v->type : (int)PARAMETER_ERROR;
        if (given != expected) {
            DialogError("Error @ %s : Parameter mismatch. #%d: %d != %d.", kFn, i, given, expected);
            return;
        }
        if (v->type == PARAMETER_NPC && !v->name) v->name = new String(dialog->parameters[i]->name.c_str());
    }
    parameterValues = parameters;
    // A dialog without states has nothing to run: its first step suspends.
    PC = dialog->stateSlots() > 0 ? dialog->states[0]->commands : nullptr;
    heard.assign((size_t)dialog->stateSlots(), 0);
    if (dialog->numberOfCycles > 0) cycleCounters.assign((size_t)dialog->numberOfCycles, 0);
    execEnv.parameterValues = parameterValues;
    execEnv.states = dialog->states.data();
    execEnv.stateCount = dialog->stateSlots();
    execEnv.heard = heard.data();
    execEnv.cycleCounters = cycleCounters.empty() ? nullptr : cycleCounters.data();
    valid = true;
}

Action* DialogInstanceImplementation::nextAction() {
    static const char* kFn = "DialogInstanceImplementation::nextAction()";
    if (!valid) {
        DialogError("Error @ %s : Invalid object.", kFn);
        return nullptr;
    }
    if (first) {
        first = false;
        if (!heard.empty()) heard[0] = 1;
    }
    execEnv.aborted = false;
    execEnv.enabledDepth = 0;
    for (int executed = 0;; ++executed) {
        if (!PC) {
            DialogError("Error @ %s : Unexpected end of command-list. Suspending.", kFn);
            return new ActionSuspend();
        }
        if (executed >= kMaxCommandsPerStep) {
            DialogError("Error @ %s : %d commands ran without an action. Suspending.", kFn,
                        kMaxCommandsPerStep);
            return new ActionSuspend();
        }
        COMMAND* at = PC;
        Action* action = PC->execute(&execEnv, PC);
        if (execEnv.aborted) {
            // the broken condition wrote its line; the step resumes at the same command next time
            if (action != ContinueStep()) delete action;
            PC = at;
            return new ActionSuspend();
        }
        if (!action) {
            DialogError("Error @ %s : Failed command execution. Suspending.", kFn);
            return new ActionSuspend();
        }
        if (action != ContinueStep()) return action;
    }
}
