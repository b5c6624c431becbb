// Index of this file:
// [SECTION] Constants and helpers
// [SECTION] The editor and its edit modes
// [SECTION] Start and frame
// [SECTION] Mouse: picking and dragging
// [SECTION] Commands on the selection, undo and redo
// [SECTION] Spawn and script-call dialogs
// [SECTION] Models and area files
// [SECTION] View and status lines
// [SECTION] What the shell and the game call
#include "editor/editor.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "camera/frameclock.h"
#include "camera/playercamera.h"
#include "editor/areasave.h"
#include "entities/entity.h"
#include "entities/modelaccess.h"
#include "entities/particleentity.h"
#include "entities/propertysheet.h"
#include "os/dialogs.h"
#include "os/harness.h"
#include "gfxdriver/gfxdriver.h"
#include "imports/enginecalls.h"
#include "imports/gameimports.h"
#include "input/inputdriver.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/datafile.h"
#include "utility/log.h"
#include "world/area.h"
#include "world/entitykinds.h"
#include "world/world.h"
#include "z1script/scriptsystem.h"

// ---------------------------------------------------------------------------
// [SECTION] Constants and helpers
namespace {

// One notch of the wheel in the driver's counts.
constexpr double kWheelCounts = 120.0;
// Longest frame the editor camera flies in one step: a dialog or a stall must
// not throw it across the area.
constexpr float kMaxEditorStep = 0.25f;
// The script call dialog reads at most this many characters.
constexpr size_t kScriptNameMax = 256;
// The frame rate is taken over this many frames.
constexpr size_t kRateFrames = 30;
// The selection's box stands this share of its size (at least the minimum)
// outside the entity's box.
constexpr float kSelectionMargin = 0.02f;
constexpr float kSelectionMarginMin = 2.0f;
// The start view: this far above and behind the point it looks at.
constexpr float kViewHeight = 700.0f;
constexpr float kViewBack = 900.0f;

const char* const kAreaDialogFilter = "ZdA Files";
const char* const kAreaExtension = "z1a";
const char* const kModelDialogFilter = "Z1 Files";
const char* const kModelExtension = "z1";

const char* const kSpawnType = "Type:";
const char* const kSpawnArgument = "Argument:";
const char* const kSpawnName = "Symbolic Name:";
const char* const kScriptFunction = "Function:";

const char* const kHint =
    "Arrows fly  Click select  Shift/Ctrl/X+drag move/turn/scale  F1 edit  F10 spawn  Ctrl+Z undo  "
    "Ctrl+S save  M play";

void PauseDriver(bool pause) {
    if (g_gfxdriver) g_gfxdriver->Pause(pause);
}

// The driver is paused while a box or dialog is up.
struct DriverPaused {
    DriverPaused() { PauseDriver(true); }
    ~DriverPaused() { PauseDriver(false); }
};

float StepFactorNow() {
    if (!g_settings) return 1.0f;
    float f = g_settings->editorStepFactor;
    if (!(f >= kEditorStepMin)) f = kEditorStepMin;
    if (f > kEditorStepMax) f = kEditorStepMax;
    return f;
}

// The camera's axes in world space: forward, right and up.
void CameraAxes(PlayerCamera* camera, VECTOR* forward, VECTOR* right, VECTOR* up) {
    VECTOR f(0.0f, 0.0f, 1.0f);
    if (camera && VectorLength(camera->direction) > 0.000001f) {
        f = camera->direction;
        VectorNormalize(f);
    }
    VECTOR worldUp(0.0f, 1.0f, 0.0f);
    VECTOR r = VectorCross(worldUp, f);
    if (VectorLength(r) < 0.000001f) r = VECTOR(1.0f, 0.0f, 0.0f);  // looking straight up or down
    VectorNormalize(r);
    VECTOR u = VectorCross(f, r);
    VectorNormalize(u);
    *forward = f;
    *right = r;
    *up = u;
}

// Whether the area's Load would read the file at all (it opens, says "Z1A"
// and is not too old); checked without a word in the log, which stays
// Load's own.
bool AreaFileReadable(const std::string& name) {
    DataFile file;
    if (!file.Open(("area\\" + name).c_str())) return false;
    if (file.Size() < 6) return false;
    const uint8_t magic[4] = {file.ReadByte(), file.ReadByte(), file.ReadByte(), file.ReadByte()};
    if (std::memcmp(magic, "Z1A", 4) != 0) return false;
    return file.ReadShort() > 4;
}

std::string WithExtension(const std::string& name, const char* extension) {
    size_t slash = name.find_last_of("/\\");
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return name;
    return name + "." + extension;
}

// A path a dialog returned as a file-system path: absolute paths as given,
// anything else in the game's area folder.
std::string AreaFilePath(const char* chosen) {
    std::string path = chosen ? chosen : "";
    for (char& c : path)
        if (c == '\\') c = '/';
    if (std::filesystem::u8path(path).is_absolute()) return path;
    std::string base = GetBasePath();
    for (char& c : base)
        if (c == '\\') c = '/';
    return base + "area/" + NameInGameFolder(path.c_str(), GetBasePath(), "area");
}

std::string FileNameOf(const std::string& path) {
    return std::filesystem::u8path(path).filename().u8string();
}

double RealSeconds() {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point origin = Clock::now();
    return std::chrono::duration<double>(Clock::now() - origin).count();
}

class EditorPropertyDialogs : public PropertyDialogs {
public:
    bool Show(PropertySheet& sheet) override { return RunDialog(&sheet); }
};

EditorPropertyDialogs s_propertyDialogs;

void SpawnChanged(PropertySheet* sheet, int index, void* user) {
    if (index < 0 || index >= static_cast<int>(sheet->fields.size())) return;
    if (sheet->fields[index].label != kSpawnType) return;
    RefillSpawnArguments(static_cast<Area*>(user), *sheet);
}

// The game's start script run inside the editor: its scene loads open the
// area in the editor (the game's scene load would also put the game's keys
// in), its settings changes wait for the game to be played (collision on
// would pull the flying camera to the ground), the rest goes to the game.
class EditorStartImports : public GameImports {
public:
    EditorStartImports(GameImports* game, Editor* editor, bool openScenes)
        : game_(game), editor_(editor), openScenes_(openScenes) {}

    bool HasItem(const char* item) override { return game_->HasItem(item); }
    void AddItem(const char* item) override { game_->AddItem(item); }
    void RemoveItem(const char* item) override { game_->RemoveItem(item); }
    bool QuestFlagDefined(const char* flag) override { return game_->QuestFlagDefined(flag); }
    void SetQuestFlag(const char* flag) override { game_->SetQuestFlag(flag); }
    void ShowMessage(const char* text, float seconds) override { game_->ShowMessage(text, seconds); }
    void SetPointerMode() override {}
    void StartScript(const char* name) override { game_->StartScript(name); }
    void WorldCall(int code, const char* name, int value) override { game_->WorldCall(code, name, value); }
    void WorldVectorCall(int code, const char* name, const VECTOR& v) override {
        game_->WorldVectorCall(code, name, v);
    }
    void GameCall(int code, const char* text, int value) override {
        if (code == kGameCallLoadScene) {
            if (openScenes_ && editor_->OpenFile(text ? text : "")) opened = true;
            return;
        }
        if (code == kGameCallCollisionOn || code == kGameCallMovementSpeed) {
            held.push_back({code, value});
            return;
        }
        game_->GameCall(code, text, value);
    }
    void GameVectorCall(int code, const char* text, const VECTOR& v) override {
        game_->GameVectorCall(code, text, v);
    }
    void ErrorBox(const char* caption, const char* text) override { game_->ErrorBox(caption, text); }
    DialogTextBox* CreateConversationView(int x, int y) override {
        return game_->CreateConversationView(x, y);
    }
    void PlaceConversationCamera(const float eye[3], const float target[3]) override {
        game_->PlaceConversationCamera(eye, target);
    }
    void EditorEnterEditMode(int mode) override { game_->EditorEnterEditMode(mode); }
    void EditorCommand(EditorKeyCommand command) override { game_->EditorCommand(command); }

    bool opened = false;
    std::vector<std::pair<int, int>> held;

private:
    GameImports* game_;
    Editor* editor_;
    bool openScenes_;
};

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] The editor and its edit modes
Editor* g_editor = nullptr;

Editor::Editor() {
    for (auto& mode : sums)
        for (double& v : mode) v = 0.0;
}

Area* Editor::EditedArea() const {
    if (area) return area;
    if (g_world) return g_world->GetArea();
    return g_area;
}

void Editor::EnterEditMode(int mode) {
    if (mode < 0 || mode >= EDIT_MODE_COUNT) return;
    CommitDrag();
    for (double& v : sums[mode]) v = 0.0;
}

void Editor::StepFactor(int direction) {
    if (!g_settings || direction == 0) return;
    float f = StepFactorNow();
    f = direction > 0 ? f * 2.0f : f * 0.5f;
    if (f < kEditorStepMin) f = kEditorStepMin;
    if (f > kEditorStepMax) f = kEditorStepMax;
    g_settings->editorStepFactor = f;
    g_settings->editorStepDirection = direction > 0 ? 1 : -1;
}

template <class Fn>
void Editor::Change(const char* what, Entity* e, Fn fn) {
    CommitDrag();
    std::vector<EntityState> before = CaptureStates(e);
    fn();
    history.RecordChange(what, std::move(before), CaptureStates(e));
}

void Editor::CommitDrag() {
    if (!dragEntity_) return;
    Entity* e = dragEntity_;
    dragEntity_ = nullptr;
    const char* what = dragMode_ == EDIT_MOVE ? "move" : dragMode_ == EDIT_SCALE ? "scale" : "turn";
    history.RecordChange(what, std::move(dragBefore_), CaptureStates(e));
    dragBefore_.clear();
}

void Editor::Forget() {
    dragEntity_ = nullptr;
    dragBefore_.clear();
    history.Clear();
    file_.clear();
    heldSettings_.clear();
    frameTimes_.clear();
}

// ---------------------------------------------------------------------------
// [SECTION] Start and frame
void Editor::Start(PlayerCamera* camera) {
    started_ = true;
    Area* a = EditedArea();
    if (!a) return;
    const std::string given = HarnessEditorArea();
    // The start script runs once in any case: played later, it would load
    // its scene over the one edited here.
    EditorStartImports start(g_imports, this, given.empty());
    if (g_scripts) {
        ScopedGameImports scoped(&start);
        RunScriptScheduler();
    }
    heldSettings_ = start.held;
    if (!given.empty()) {
        if (OpenFile(given)) ViewArea(camera, nullptr);
    } else if (start.opened && camera) {
        // Where the script put the player.
        const VECTOR eye = camera->position;
        ViewArea(camera, &eye);
    }
}

void Editor::Frame(PlayerCamera* camera) {
    camera_ = camera;
    if (!started_) Start(camera);
    if (g_settings) g_settings->colliderCount = 0;
    FrameClock& clock = g_frameClock;
    const float now = ClockSeconds();
    float dt = now - clock.lastFrameTime;
    clock.frameCount += 1;
    clock.rateTimeSum += dt;
    clock.lastFrameTime = now;
    if (clock.rateTimeSum > 1.0f) {
        clock.framesPerSecond = static_cast<float>(clock.frameCount) / clock.rateTimeSum;
        clock.frameCount = 0;
        clock.rateTimeSum -= 1.0f;
    }
    if (!(dt >= 0.0f)) dt = 0.0f;
    if (dt > kMaxEditorStep) dt = kMaxEditorStep;
    frameTimes_.push_back(RealSeconds());
    if (frameTimes_.size() > kRateFrames) frameTimes_.erase(frameTimes_.begin());

    InputDriver* in = g_inputdriver;
    double x0 = 0.0, y0 = 0.0, z0 = 0.0;
    if (in) {
        // Look mode leaves the wheel unscaled; the editor counts its notches.
        double sx, sy, sz;
        in->GetMouseScale(&sx, &sy, &sz);
        if (sz == 0.0) in->SetMouseScale(sx, sy, 1.0 / kWheelCounts);
        in->GetMousePosition(&x0, &y0, &z0);
    }
    if (camera) camera->Update(dt);  // polls the devices: the editor keys run here

    EditorMotion motion;
    bool pressed[3] = {false, false, false};
    bool held[3] = {false, false, false};
    if (in) {
        double x1, y1, z1;
        in->GetMousePosition(&x1, &y1, &z1);
        motion.x = x1 - x0;
        motion.y = y1 - y0;
        motion.z = z1 - z0;
        for (int b = 0; b < 3; ++b) {
            pressed[b] = in->WasMouseButtonPressed(b);
            held[b] = in->IsMouseButtonDown(b);
        }
        const int mode = g_settings ? g_settings->editorSelectionMode : 0;
        const bool drags =
            mode == EDIT_MOVE || mode == EDIT_ROTATE || mode == EDIT_ROTATE_WORLD || mode == EDIT_SCALE;
        Area* a = EditedArea();
        if (drags && a && a->selected && camera) {
            // The mouse drags the selection, not the view: the camera keeps
            // looking where it looked.
            in->SetMousePosition(x0, y0, z1);
            camera->yaw = static_cast<float>(x0);
            const float vy = static_cast<float>(y0);
            const bool inverted = g_settings && g_settings->inverted_mouse;
            camera->direction = VECTOR(std::cos(camera->yaw), inverted ? vy : -vy, std::sin(camera->yaw));
            camera->LookAt(camera->position, camera->position + camera->direction, camera->roll);
            camera->UpdateFrustum();
        }
    }
    MouseStep(camera, pressed, held, motion);

    if (g_world && camera) g_world->SwitchNightLights(camera->position);
    if (Area* a = EditedArea()) a->UpdateParticles(dt);
}

// ---------------------------------------------------------------------------
// [SECTION] Mouse: picking and dragging
void Editor::MouseStep(PlayerCamera* camera, const bool pressed[3], const bool held[3],
                       const EditorMotion& motion) {
    const int wheel = static_cast<int>(std::lround(motion.z));
    for (int i = 0; i < wheel; ++i) StepFactor(1);
    for (int i = 0; i > wheel; --i) StepFactor(-1);

    Area* a = EditedArea();
    if (!a) return;
    AreaEditor ops(a);
    const VECTOR eye = camera ? camera->position : VECTOR(0.0f, 0.0f, 0.0f);
    // Picks aim with this frame's view.
    if (camera && g_gfxdriver && (pressed[0] || pressed[1])) g_gfxdriver->SetViewMatrix(&camera->view);
    const int mode = g_settings ? g_settings->editorSelectionMode : 0;
    // A drag ends when its key is let go, another mode begins or the
    // selection changed.
    if (dragEntity_ && (mode != dragMode_ || dragEntity_ != a->selected)) CommitDrag();
    switch (mode) {
    case EDIT_SELECT:
        if (pressed[0]) ops.Select(eye, kEditorPickDistance);
        if (pressed[1] && ops.Selected())
            Change("move", ops.Selected(), [&] { ops.MoveToPick(eye, kEditorPickDistance); });
        break;
    case EDIT_LINK:
    case EDIT_LINK_MOVE:
        if (pressed[0] && ops.Selected()) {
            Entity* parent = ops.Pick(eye, kEditorPickDistance, nullptr);
            Change("link", ops.Selected(), [&] {
                if (mode == EDIT_LINK)
                    ops.Link(parent);
                else
                    ops.LinkAndMove(parent);
            });
        }
        break;
    case EDIT_COPY:
        if ((pressed[0] || pressed[1]) && ops.Selected()) {
            const int before = a->entities.Size();
            Entity* copy = pressed[0] ? ops.Copy() : ops.CopyAtPick(eye, kEditorPickDistance);
            history.RecordAdded(a, "copy", before);
            if (copy) a->selected = copy;  // the copy is what the next drag moves
        }
        break;
    case EDIT_MOVE:
    case EDIT_ROTATE:
    case EDIT_ROTATE_WORLD:
    case EDIT_SCALE: Drag(mode, camera, held, motion); break;
    default: break;
    }
}

void Editor::Drag(int mode, PlayerCamera* camera, const bool held[3], const EditorMotion& motion) {
    double* s = sums[mode];
    s[0] += motion.x;
    s[1] += motion.y;
    s[2] += motion.z;
    // What is new since the last frame: right and forward (push) positive.
    const float rx = static_cast<float>(-(s[0] - s[3]));
    const float ry = static_cast<float>(-(s[1] - s[4]));
    s[3] = s[0];
    s[4] = s[1];
    s[5] = s[2];
    if (rx == 0.0f && ry == 0.0f) return;

    AreaEditor ops = Ops();
    Entity* selected = ops.Selected();
    if (!selected) return;
    if (!dragEntity_) {
        dragEntity_ = selected;
        dragMode_ = mode;
        dragBefore_ = CaptureStates(selected);
    }
    const float factor = StepFactorNow();
    VECTOR forward, right, up;
    CameraAxes(camera, &forward, &right, &up);
    switch (mode) {
    case EDIT_MOVE: {
        // Left button: up and down instead of along the ground.
        VECTOR ahead = forward;
        if (!held[0]) {
            ahead.y = 0.0f;
            if (VectorLength(ahead) < 0.000001f) ahead = VectorCross(right, VECTOR(0.0f, 1.0f, 0.0f));
            VectorNormalize(ahead);
        }
        VECTOR second = held[0] ? up : ahead;
        VECTOR offset = (right * rx + second * ry) * (kEditorMoveFactor * factor);
        ops.MoveBy(offset.x, offset.y, offset.z);
        break;
    }
    case EDIT_ROTATE:
        if (held[0])
            ops.RotateWorld(forward, rx * kEditorRotateFactor * factor);
        else if (held[1])
            ops.RotateWorld(right, ry * kEditorRotateFactor * factor);
        else
            ops.RotateWorld(up, rx * kEditorRotateFactor * factor);
        break;
    case EDIT_ROTATE_WORLD:
        if (held[0])
            ops.RotateWorld(VECTOR(0.0f, 0.0f, 1.0f), rx * kEditorRotateFactor * factor);
        else if (held[1])
            ops.RotateWorld(VECTOR(1.0f, 0.0f, 0.0f), ry * kEditorRotateFactor * factor);
        else
            ops.RotateWorld(VECTOR(0.0f, 1.0f, 0.0f), rx * kEditorRotateFactor * factor);
        break;
    case EDIT_SCALE: {
        const float d = (rx + ry) * kEditorScaleFactor * factor;
        if (held[0])
            ops.Scale(d, 0.0f, 0.0f);
        else if (held[1])
            ops.Scale(0.0f, d, 0.0f);
        else if (held[2])
            ops.Scale(0.0f, 0.0f, d);
        else
            ops.Scale(d, d, d);
        break;
    }
    default: break;
    }
}

// ---------------------------------------------------------------------------
// [SECTION] Commands on the selection, undo and redo
void Editor::DeleteSelected() {
    CommitDrag();
    Area* a = EditedArea();
    Entity* e = a ? a->selected : nullptr;
    if (!e || e->locked) return;  // nothing would be deleted: no question
    bool yes;
    {
        DriverPaused paused;
        yes = YesNoBox("Warning!", "Are you sure you wish to delete the selected entity?");
    }
    if (yes) history.Delete(a, e);
}

void Editor::EditSelected() {
    AreaEditor ops = Ops();
    Change("properties", ops.Selected(), [&] { ops.EditSelected(); });
}

void Editor::ToggleSelectedFlag() { Ops().ToggleFlag(); }

void Editor::Undo() {
    CommitDrag();
    Area* a = EditedArea();
    const char* name = history.UndoName();
    if (!a || !name) {
        LogLine("EDITOR - nothing to undo");
        return;
    }
    LogLine("EDITOR - undo %s", name);
    history.Undo(a);
}

void Editor::Redo() {
    CommitDrag();
    Area* a = EditedArea();
    const char* name = history.RedoName();
    if (!a || !name) {
        LogLine("EDITOR - nothing to redo");
        return;
    }
    LogLine("EDITOR - redo %s", name);
    history.Redo(a);
}

// ---------------------------------------------------------------------------
// [SECTION] Spawn and script-call dialogs
void BuildSpawnSheet(Area* area, PropertySheet& sheet) {
    sheet.title = "Spawn Dialog";
    sheet.fields.clear();
    // The type list is the kinds table in its order: an item's index is its row.
    std::vector<std::string> types;
    int chosen = 0;
    for (int i = 0; i < kEntityKindCount; ++i) {
        types.push_back(kEntityKinds[i].name);
        if (area && kEntityKinds[i].code == area->lastSpawnType) chosen = i;
    }
    sheet.AddChoice(kSpawnType, types, chosen);
    sheet.AddChoice(kSpawnArgument, {}, -1);
    sheet.AddText(kSpawnName, "");
    RefillSpawnArguments(area, sheet);
}

void RefillSpawnArguments(Area* area, PropertySheet& sheet) {
    PropertySheet::Field* type = sheet.Find(kSpawnType);
    PropertySheet::Field* arg = sheet.Find(kSpawnArgument);
    if (!type || !arg) return;
    const bool known = type->choice >= 0 && type->choice < kEntityKindCount;
    const SpawnArgument wanted = known ? kEntityKinds[type->choice].spawnArgument : SPAWN_NOTHING;
    std::string previous;
    if (arg->kind == PropertySheet::FIELD_CHOICE && arg->choice >= 0 &&
        arg->choice < static_cast<int>(arg->choices.size()))
        previous = arg->choices[arg->choice];
    arg->choices.clear();
    arg->text.clear();
    if (wanted == SPAWN_MODEL) {
        if (area)
            for (Z1Model* m : area->models) arg->choices.push_back(ModelName(m));
    } else if (wanted == SPAWN_SYSTEM) {
        arg->choices = ParticleSystemNames();
    } else {
        // Kinds without an argument (lights, cameras): the list is shown disabled.
        arg->kind = PropertySheet::FIELD_READONLY;
        arg->choice = -1;
        return;
    }
    arg->kind = PropertySheet::FIELD_CHOICE;
    arg->choice = arg->choices.empty() ? -1 : 0;
    for (size_t i = 0; i < arg->choices.size(); ++i)
        if (arg->choices[i] == previous) arg->choice = static_cast<int>(i);
}

void Editor::SpawnDialog() {
    CommitDrag();
    Area* a = EditedArea();
    if (!a) return;
    PropertySheet sheet;
    BuildSpawnSheet(a, sheet);
    bool ok;
    {
        DriverPaused paused;
        ok = RunDialog(&sheet, SpawnChanged, a);
    }
    if (!ok) return;
    const int index = sheet.Choice(kSpawnType, 0);
    if (index < 0 || index >= kEntityKindCount) return;
    const EntityKind& kind = kEntityKinds[index];
    a->lastSpawnType = kind.code;
    const std::string name = sheet.Text(kSpawnName);
    a->lastSpawnName = String(name.c_str());
    std::string argument;
    if (const PropertySheet::Field* arg = sheet.Find(kSpawnArgument))
        if (arg->kind == PropertySheet::FIELD_CHOICE && arg->choice >= 0 &&
            arg->choice < static_cast<int>(arg->choices.size()))
            argument = arg->choices[arg->choice];
    if (kind.spawnArgument != SPAWN_NOTHING && argument.empty()) return;  // nothing chosen: nothing to place
    const int before = a->entities.Size();
    Entity* spawned = kind.spawn(*a, argument.c_str(), name.c_str(), a->lookPoint);
    history.RecordAdded(a, "spawn", before);
    if (spawned) a->selected = spawned;
}

namespace {

// The "Call script function:" dialog: true for "Call", with the name typed
// (at most kScriptNameMax characters).
bool AskScriptName(std::string* name) {
    PropertySheet sheet;
    sheet.title = "Call script function:";
    sheet.AddText(kScriptFunction, "");
    if (!RunDialog(&sheet)) return false;
    *name = sheet.Text(kScriptFunction);
    if (name->size() > kScriptNameMax) name->resize(kScriptNameMax);
    return true;
}

}  // namespace

void Editor::ScriptCallDialog() {
    CommitDrag();
    DriverPaused paused;
    std::string name;
    // Without a script file loaded nothing starts.
    if (AskScriptName(&name)) StartScriptByName(name.c_str());
}

// ---------------------------------------------------------------------------
// [SECTION] Models and area files
void Editor::LoadModel() {
    CommitDrag();
    Area* a = EditedArea();
    if (!a) return;
    // The dialog starts in the game's model folder, where areas take their
    // models from.
    std::string folder = GetBasePath();
    const char separator = folder.empty() ? '/' : folder.back();
    folder += std::string("z1") + separator;
    const char* path;
    {
        DriverPaused paused;
        path = OpenFileDialog("Load Z1 Model", kModelDialogFilter, kModelExtension, folder.c_str());
    }
    if (!path) return;
    std::string name = NameInGameFolder(path, GetBasePath(), "z1");
    if (name.compare(0, 3, "../") == 0 || std::filesystem::u8path(name).is_absolute()) {
        // An area names its models (and they their textures) from the game
        // folder: one outside it would not be found when the area is played.
        LogLine("ERROR - model '%s' is not in the game's z1 folder", path);
        const std::string text = std::string("The model\n") + path +
                                 "\nis not in the game's z1 folder, where an area finds its models.\n"
                                 "Import it there: z1tool model import SOURCE " +
                                 folder + "NAME.z1";
        DriverPaused paused;
        ErrorBox("Load Z1 Model", text.c_str());
        return;
    }
    const int before = a->models.Size();
    a->EnsureModel(name.c_str());
    if (a->models.Size() > before) history.RecordModel(a, "load model");
}

bool Editor::OpenFile(const std::string& chosen) {
    Area* a = EditedArea();
    if (!a) return false;
    CommitDrag();
    std::string name = NameInGameFolder(chosen.c_str(), GetBasePath(), "area");
    // Opening replaces what is being edited; Load itself only adds. A file
    // Load refuses (missing, not an area, too old) must not cost the area
    // being edited: Load then only reports it.
    if (!AreaFileReadable(name)) {
        a->Load(name.c_str());
        return false;
    }
    a->Clear();
    history.Clear();
    a->Load(name.c_str());
    file_ = AreaFilePath(chosen.c_str());
    return true;
}

void Editor::OpenArea() {
    Area* a = EditedArea();
    if (!a) return;
    if (!ReadyToLeave("before opening another area")) return;
    const char* path;
    {
        DriverPaused paused;
        path = OpenFileDialog("Load Zendar 1 area file", kAreaDialogFilter, kAreaExtension, file_.c_str());
    }
    if (!path) return;
    // The camera comes to the new area rather than staying where the old
    // one had it (under the ground, perhaps).
    if (OpenFile(path)) ViewArea(camera_, nullptr);
}

bool Editor::SaveArea() {
    CommitDrag();
    Area* a = EditedArea();
    if (!a) return false;
    std::string start = file_;
    if (start.empty()) start = AreaFilePath("");
    const char* path;
    {
        DriverPaused paused;
        path = SaveFileDialog("Save Zendar 1 area file", kAreaDialogFilter, kAreaExtension, start.c_str());
    }
    if (!path) return false;
    return SaveTo(WithExtension(AreaFilePath(path), kAreaExtension));
}

bool Editor::SaveTo(const std::string& path) {
    CommitDrag();
    Area* a = EditedArea();
    if (!a) return false;
    std::string reason;
    if (SaveAreaFile(*a, path, &reason)) {
        file_ = path;
        history.MarkSaved();
        LogLine("EDITOR - saved '%s'", path.c_str());
        return true;
    }
    LogLine("ERROR - could not save the area to '%s': %s", path.c_str(), reason.c_str());
    const std::string text =
        "The area was not saved to\n" + path + "\n" + reason + ".\nA file that was there is unchanged.";
    DriverPaused paused;
    ErrorBox("Save failed", text.c_str());
    return false;
}

bool Editor::Save() {
    if (!file_.empty()) return SaveTo(file_);
    return SaveArea();
}

bool Editor::ReadyToLeave(const char* doing) {
    CommitDrag();
    if (!Changed()) return true;
    const std::string where = file_.empty() ? "the area" : FileNameOf(file_);
    const std::string text = "Save the changes to " + where + " " + doing + "?";
    BoxAnswer answer;
    {
        DriverPaused paused;
        answer = YesNoCancelBox("Unsaved changes", text.c_str());
    }
    if (answer == BOX_CANCEL) {
        LogLine("EDITOR - cancelled: the unsaved changes stay");
        return false;
    }
    if (answer == BOX_NO) {
        LogLine("EDITOR - going on without saving");
        return true;
    }
    return Save();
}

bool Editor::LeaveForGame() {
    if (!ReadyToLeave("before playing")) return false;
    for (const auto& call : heldSettings_) ApplyScriptSettingsCall(call.first, call.second);
    heldSettings_.clear();
    return true;
}

// ---------------------------------------------------------------------------
// [SECTION] View and status lines
void Editor::ViewArea(PlayerCamera* camera, const VECTOR* start) {
    Area* a = EditedArea();
    if (!camera || !a) return;
    const float yaw = camera->yaw;
    const VECTOR ahead(std::cos(yaw), 0.0f, std::sin(yaw));
    VECTOR eye, target;
    if (start) {
        // Risen above the player, looking at the ground ahead of him.
        eye = *start + VECTOR(0.0f, kViewHeight, 0.0f) - ahead * (kViewBack * 0.3f);
        target = *start + ahead * kViewBack;
    } else {
        // The middle of what the area holds, at its lowest level, from above
        // and behind along the way the camera looks now.
        if (a->entities.Size() == 0) return;
        float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
        for (Entity* e : a->entities)
            for (int i = 0; i < 3; ++i) {
                lo[i] = std::fmin(lo[i], e->box[i]);
                hi[i] = std::fmax(hi[i], e->box[3 + i]);
            }
        target = VECTOR((lo[0] + hi[0]) * 0.5f, lo[1], (lo[2] + hi[2]) * 0.5f);
        const float size = std::fmax(hi[0] - lo[0], hi[2] - lo[2]);
        const float back = std::fmax(std::fmin(size * 0.5f, kViewBack), 100.0f);
        eye = target - ahead * back + VECTOR(0.0f, back * kViewHeight / kViewBack, 0.0f);
    }
    const VECTOR look = target - eye;
    const float flat = std::sqrt(look.x * look.x + look.z * look.z);
    const float pitch = flat > 0.0f ? -look.y / flat : 0.0f;  // the look-mode mouse y
    const bool inverted = g_settings && g_settings->inverted_mouse;
    camera->velocity = VECTOR(0.0f, 0.0f, 0.0f);
    camera->direction = VECTOR(std::cos(yaw), -pitch, std::sin(yaw));
    camera->LookAt(eye, eye + camera->direction, 0.0f);
    camera->UpdateFrustum();
    if (g_inputdriver) {
        double x, y, z;
        g_inputdriver->GetMousePosition(&x, &y, &z);
        g_inputdriver->SetMousePosition(yaw, inverted ? -pitch : pitch, z);
    }
    a->lookPoint = target;
}

std::string Editor::TitleText() const {
    Area* a = EditedArea();
    std::string name;
    if (!file_.empty())
        name = FileNameOf(file_);
    else if (a && a->entities.Size() > 0)
        name = "new area";
    else
        name = "no area";
    if (Changed()) name += " (unsaved changes)";
    return name;
}

const char* Editor::SelectionLine() {
    Area* a = EditedArea();
    Entity* e = a ? a->selected : nullptr;
    if (!e) {
        selectionLine.clear();
        return selectionLine.c_str();
    }
    char buf[300];
    std::snprintf(buf, sizeof buf, "%s - %s", EntityTypeName(e->type), e->Name());
    selectionLine = buf;
    return selectionLine.c_str();
}

float Editor::FramesPerSecond() const {
    if (frameTimes_.size() < 2) return 0.0f;
    const double span = frameTimes_.back() - frameTimes_.front();
    return span > 0.0 ? static_cast<float>((frameTimes_.size() - 1) / span) : 0.0f;
}

// ---------------------------------------------------------------------------
// [SECTION] What the shell and the game call
void InstallEditor() {
    static Editor editor;
    g_editor = &editor;
    g_propertyDialogs = &s_propertyDialogs;
}

// The property dialogs are installed with the program; the editor itself
// follows with the first editor frame or command.
static const bool s_installed = [] {
    g_propertyDialogs = &s_propertyDialogs;
    return true;
}();

void EditorFrame(PlayerCamera* camera) {
    (void)s_installed;
    InstallEditor();
    g_editor->Frame(camera);
}

void EditorOpenAreaCommand() {
    InstallEditor();
    g_editor->OpenArea();
}

void EditorSaveAreaCommand() {
    InstallEditor();
    g_editor->SaveArea();
}

void EditorUndoCommand() {
    InstallEditor();
    g_editor->Undo();
}

void EditorRedoCommand() {
    InstallEditor();
    g_editor->Redo();
}

const char* EditorSelectionLine() {
    InstallEditor();
    return g_editor->SelectionLine();
}

// Only in editor mode: what the game did to the area while it was played
// (doors opened, things carried away) is no work to save, and M asked before.
bool EditorReadyToQuit() {
    return !g_editor || !g_settings || !g_settings->editor || g_editor->ReadyToLeave("before quitting");
}

bool EditorLeaveForGame() { return !g_editor || g_editor->LeaveForGame(); }

std::string EditorTitleText() { return g_editor ? g_editor->TitleText() : std::string(); }

float EditorFramesPerSecond() { return g_editor ? g_editor->FramesPerSecond() : 0.0f; }

const char* EditorHintLine() { return kHint; }

void EditorDrawSelection() {
    Area* a = g_editor ? g_editor->EditedArea() : g_area;
    GfxDriver* d = g_gfxdriver;
    Entity* e = a ? a->selected : nullptr;
    if (!d || !e) return;
    // Unlit lines in one bright colour: the area's own box is lit like the
    // scene and hard to see. They run a little outside it, since lines on
    // the same spot would lose the depth test to the ones already drawn. The
    // bottom is lifted instead: most entities stand on the ground, which
    // would hide a bottom below theirs and leave the box open at its foot.
    float box[6];
    float margin = kSelectionMarginMin;
    for (int i = 0; i < 3; ++i) margin = std::fmax(margin, (e->box[3 + i] - e->box[i]) * kSelectionMargin);
    for (int i = 0; i < 3; ++i) {
        box[i] = e->box[i] - margin;
        box[3 + i] = e->box[3 + i] + margin;
    }
    box[1] = std::fmin(e->box[1] + margin, e->box[4]);
    VERTEX edges[24];
    BoxEdgeLines(box, edges);
    LVERTEX lines[24];
    for (int i = 0; i < 24; ++i) {
        lines[i] = LVERTEX{};
        lines[i].x = edges[i].x;
        lines[i].y = edges[i].y;
        lines[i].z = edges[i].z;
        lines[i].color = PackColor(255, 255, 220, 40);
    }
    MATRIX saved, identity;
    d->GetWorldMatrix(&saved);
    MatrixIdentity(identity);
    d->SetWorldMatrix(&identity);
    d->SetTexture(nullptr);
    // Fog would fade a far box into the sky.
    d->SetFogging(false);
    d->DrawLines(lines, 24);
    d->SetFogging(!g_settings || g_settings->fog != 0);
    d->SetWorldMatrix(&saved);
}
