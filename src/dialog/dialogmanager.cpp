#include "dialog/dialogmanager.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "dialog/dialogstreams.h"
#include "imports/gameimports.h"
#include "settings/settings.h"
#include "utility/log.h"

// ---------------------------------------------------------------------------
// The game proxy: the game object answers, through the game's imports.
bool GameEnvironmentProxy::questFlagDefined(const String& questFlag) {
    return g_imports->QuestFlagDefined(questFlag.c_str());
}

bool GameEnvironmentProxy::hasItem(short, const String& itemName) {
    // the inventory holds names without counts
    return g_imports->HasItem(itemName.c_str());
}

// ---------------------------------------------------------------------------
// Dialog cache: chained hash table, 29 buckets, tripled when the element count
// passes twice the bucket count.
namespace {

struct CacheNode {
    std::string key;
    DIALOG* dialog;
    CacheNode* next;
};

struct DialogCache {
    std::vector<CacheNode*> buckets = std::vector<CacheNode*>(29, nullptr);
    int count = 0;

    // The game keeps every dialog it loaded until it ends; then they go.
    ~DialogCache() { clear(); }

    static uint32_t hash(const char* name) {
        uint32_t h = 0;
        for (const unsigned char* p = (const unsigned char*)name; *p; ++p) h = 2 * h + *p;
        return h;
    }
    DIALOG* find(const char* name) const {
        for (CacheNode* n = buckets[hash(name) % buckets.size()]; n; n = n->next)
            if (n->key == name) return n->dialog;
        return nullptr;
    }
    void insert(const char* name, DIALOG* dialog) {
        if (count > 2 * (int)buckets.size()) {
            std::vector<CacheNode*> grown(buckets.size() * 3, nullptr);
            for (CacheNode* chain : buckets)
                while (chain) {
                    CacheNode* next = chain->next;
                    CacheNode*& head = grown[hash(chain->key.c_str()) % grown.size()];
                    chain->next = head;
                    head = chain;
                    chain = next;
                }
            buckets.swap(grown);
        }
        CacheNode*& head = buckets[hash(name) % buckets.size()];
        head = new CacheNode{name, dialog, head};
        ++count;
    }
    void clear() {
        for (CacheNode*& chain : buckets)
            while (chain) {
                CacheNode* next = chain->next;
                delete chain->dialog;
                delete chain;
                chain = next;
            }
        buckets.assign(29, nullptr);
        count = 0;
    }
};

DialogCache& Cache() {
    static DialogCache cache;
    return cache;
}

}  // namespace

DIALOG* getDialog(const char* dialogName) {
    DIALOG* d = Cache().find(dialogName);
    if (d) return d;
    d = new DIALOG();
    if (!d->load(dialogName)) {
        delete d;
        DialogError("Error @ getDialog(dialogName) : Failed to load the dialog '%s'.", dialogName);
        return nullptr;
    }
    Cache().insert(dialogName, d);
    return d;
}

int DialogCacheBucketCount() { return (int)Cache().buckets.size(); }
int DialogCacheCount() { return Cache().count; }
void ClearDialogCache() { Cache().clear(); }

ArraySequence<unsigned char>* getParameterTypes(const char* dialogName) {
    DIALOG* d = getDialog(dialogName);
    if (!d) {
        DialogError("Error @ getParameterTypes(dialogName) : Failed to load the dialog '%s'.", dialogName);
        return nullptr;
    }
    auto* types = new ArraySequence<unsigned char>(d->parameterSlots());
    for (int i = 0; i < d->parameterSlots(); ++i) (*types)[i] = (unsigned char)d->parameters[i]->getType();
    return types;
}

ArraySequence<String>* getParameterNames(const char* dialogName) {
    DIALOG* d = getDialog(dialogName);
    if (!d) {
        DialogError("Error @ getParameterNames(dialogName) : Failed to load the dialog '%s'.", dialogName);
        return nullptr;
    }
    auto* names = new ArraySequence<String>(d->parameterSlots());
    for (int i = 0; i < d->parameterSlots(); ++i) (*names)[i] = String(d->parameters[i]->name.c_str());
    return names;
}

void setDialogPath(int, const char**) {
    DialogError("Error @ setDialogPath(pathCount, dialogPath) : Not yet implemented.");
}
void preloadDialog(const char*) { DialogError("Error @ preloadDialog(dialogName) : Not yet implemented."); }

// ---------------------------------------------------------------------------
DialogBinding::DialogBinding(const char* name, DialogCharacter* c)
    : dialogName(new String(name)), character(c) {}

DialogBinding::~DialogBinding() {
    if (DialogManager::Active() == this) DialogManager::SetActive(nullptr);
    delete instance;
    for (ParameterValue* v : parameterValues) {
        if (v) delete v->name;
        delete v;
    }
    delete dialogName;
}

namespace {
bool g_initialised = false;
FILE* g_dialogLog = nullptr;
GameEnvironmentProxy g_gameProxy;
DialogBinding* g_active = nullptr;
Action* g_currentAction = nullptr;
const char* const kParamString = "PARAM_STRING";

void replaceCurrentAction(Action* action) {
    if (g_currentAction != action) delete g_currentAction;
    g_currentAction = action;
}
}  // namespace

void DialogManager::Initialise() {
    if (g_initialised) return;
    g_initialised = true;
    g_dialogLog = std::fopen("Dialog.log", "w");
    if (g_dialogLog) SetDialogErrorStream(g_dialogLog);
    SetDialogTraceStream(nullptr);
    SetEnvironmentProxy(&g_gameProxy);
}

bool DialogManager::Initialised() { return g_initialised; }

DialogInstanceImplementation* DialogManager::Instantiate(const char* dialogName, ParameterValue** values) {
    auto* instance = new DialogInstanceImplementation(dialogName, values);
    if (!instance->valid) {
        delete instance;
        return nullptr;
    }
    return instance;
}

bool DialogManager::Bind(DialogBinding* binding) {
    const char* name = binding->dialogName->c_str();
    ArraySequence<unsigned char>* types = getParameterTypes(name);
    if (!types) {
        LogLine("DialogManager::Error - Failed to get parameter types.");
        return false;
    }
    ArraySequence<String>* names = getParameterNames(name);
    if (!names) {
        delete types;
        LogLine("DialogManager::Error - Failed to get parameter names.");
        return false;
    }
    std::vector<ParameterValue*> values;
    bool ok = true;
    for (int i = 0; i < types->Size() && ok; ++i) {
        auto* v = new ParameterValue();
        values.push_back(v);
        switch ((*types)[i]) {
        case PARAMETER_ERROR:
            LogLine("DialogManager::Error - PARAMETER_ERROR encountered.");
            ok = false;
            break;
        case PARAMETER_NPC:
            v->type = PARAMETER_NPC;
            v->name = new String((*names)[i]);
            break;
        case PARAMETER_STRING:
            v->type = PARAMETER_STRING;
            v->text = kParamString;
            break;
        default:
            LogLine("DialogManager::Error - Unknown parameter type.");
            ok = false;
            break;
        }
    }
    delete types;
    delete names;
    DialogInstanceImplementation* instance = nullptr;
    if (ok) {
        instance = Instantiate(name, values.data());
        if (!instance) {
            LogLine("DialogManager::Error - Failed to instantiate dialog '%s'", name);
            ok = false;
        }
    }
    if (!ok) {
        for (ParameterValue* v : values) {
            delete v->name;
            delete v;
        }
        return false;
    }
    for (ParameterValue* v : binding->parameterValues) {
        delete v->name;
        delete v;
    }
    delete binding->instance;
    binding->parameterValues.swap(values);
    binding->instance = instance;
    // the instance keeps the array it was given: point it at the binding's copy
    instance->parameterValues = binding->parameterValues.data();
    instance->execEnv.parameterValues = instance->parameterValues;
    return true;
}

void DialogManager::SetActive(DialogBinding* binding) { g_active = binding; }
DialogBinding* DialogManager::Active() { return g_active; }
Action* DialogManager::CurrentAction() { return g_currentAction; }

void DialogManager::Answer(int selection) {
    if (g_currentAction && g_currentAction->kind == ACTION_QUERY)
        static_cast<ActionQuery*>(g_currentAction)->select(selection);
}

namespace {

// Head and shoulders: the camera stands in front of the face (a character
// looks along its -Z) at the distance where the view is twice this high
// around the eyes, level with them, looking a little down and to the
// character's side so that the face sits clear of the text box on the left.
constexpr float kFramedHalfHeight = 75.0f;
constexpr float kFramedLookDown = 15.0f;
constexpr float kFramedSideways = 0.3f;  // of the view's half-width at the face

void placeCamera(DialogCharacter* character) {
    if (!character) return;
    float p[3], x[3], z[3];
    character->GetConversationFrame(p, x, z);
    const float fov = g_settings && g_settings->fovRadians > 0.05f ? g_settings->fovRadians : 1.5707964f;
    const float slope = std::tan(fov * 0.5f);
    const float distance = kFramedHalfHeight / slope;
    // The view is 4:3: its half-width is a third more than its half-height.
    const float side = kFramedSideways * kFramedHalfHeight * 4.0f / 3.0f;
    const float eyes = p[1] + character->GetConversationEyeHeight();
    float eye[3] = {p[0] - distance * z[0], eyes - distance * z[1], p[2] - distance * z[2]};
    float target[3] = {p[0] - side * x[0], eyes - kFramedLookDown - side * x[1], p[2] - side * x[2]};
    g_imports->PlaceConversationCamera(eye, target);
}

}  // namespace

DialogTextBox* DialogManager::NextTextBox() {
    if (!g_active || !g_active->instance) return nullptr;
    const char* white = "white";
    const char* yellow = "yellow";
    DialogCharacter* character = g_active->character;
    DialogTextBox* box = nullptr;
    for (int actions = 0; !box; ++actions) {
        if (actions >= kMaxActionsPerView) {
            // quest, item and script actions in a loop would otherwise hold the frame forever
            DialogError("Error @ DialogManager::NextTextBox() : %d actions without a text box. Suspending.",
                        kMaxActionsPerView);
            return nullptr;
        }
        Action* action = g_active->instance->nextAction();
        replaceCurrentAction(action);
        if (!action) return nullptr;
        switch (action->kind) {
        case ACTION_PLAYER:
            placeCamera(character);
            box = g_imports->CreateConversationView(50, 50);
            box->AddLine(yellow, "You:", 0);
            box->AddLine(white, static_cast<ActionPlayerLine*>(action)->text.c_str(), 0);
            break;
        case ACTION_NPC: {
            auto* line = static_cast<ActionNpcLine*>(action);
            placeCamera(character);
            box = g_imports->CreateConversationView(50, 50);
            if (character) character->StartTalking((float)line->text.Length() / 25.0f);
            // The speaker as the dialog names its character ("Guard"), not
            // the entity's name in the area ("guard").
            String own = line->speaker.Length() > 0 || !character ? line->speaker
                                                                  : String(character->GetConversationName());
            String header = line->listener ? own + " to " + *line->listener + ":" : own + ":";
            box->AddLine(yellow, header.c_str(), 0);
            box->AddLine(white, line->text.c_str(), 0);
            break;
        }
        case ACTION_REMARK: {
            auto* remark = static_cast<ActionRemark*>(action);
            placeCamera(character);
            box = g_imports->CreateConversationView(50, 50);
            String header = String("Remark - ") + remark->speaker + ":";
            box->AddLine(yellow, header.c_str(), 0);
            box->AddLine(white, remark->text.c_str(), 0);
            break;
        }
        case ACTION_QUERY: {
            auto* query = static_cast<ActionQuery*>(action);
            placeCamera(character);
            box = g_imports->CreateConversationView(50, 50);
            for (const String& text : query->optionTexts)
                box->AddLine(yellow, (String("* ") + text).c_str(), 1);
            break;
        }
        case ACTION_SETQUEST:
            g_imports->SetQuestFlag(static_cast<ActionSetQuest*>(action)->questFlag.c_str());
            break;
        case ACTION_EXECUTESCRIPT: {
            const char* script = static_cast<ActionExecuteScript*>(action)->scriptName.c_str();
            g_imports->StartScript(script);
            LogLine("calling script: %s", script);
            break;
        }
        case ACTION_ADDITEM: g_imports->AddItem(static_cast<ActionItem*>(action)->itemName.c_str()); break;
        case ACTION_REMOVEITEM:
            g_imports->RemoveItem(static_cast<ActionItem*>(action)->itemName.c_str());
            break;
        default:  // log entry, suspend, anything unknown: the view ends
            return nullptr;
        }
    }
    return box;
}
