#include "editor/editor.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "camera/playercamera.h"
#include "entities/entity.h"
#include "entities/modelaccess.h"
#include "entities/particleentity.h"
#include "entities/propertysheet.h"
#include "game/dialogs.h"
#include "game/screens.h"
#include "gfxdriver/gfxdriver.h"
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

namespace {

// One notch of the wheel in the driver's counts.
constexpr double kWheelCounts = 120.0;
// Longest frame the editor camera flies in one step: a dialog or a stall must
// not throw it across the area.
constexpr float kMaxEditorStep = 0.25f;
// The script call dialog reads at most this many characters.
constexpr size_t kScriptNameMax = 256;

const char* const kAreaDialogFilter = "ZdA Files";
const char* const kAreaExtension = "z1a";
const char* const kModelDialogFilter = "Z1 Files";
const char* const kModelExtension = "z1";

const char* const kSpawnType = "Type:";
const char* const kSpawnArgument = "Argument:";
const char* const kSpawnName = "Symbolic Name:";
const char* const kScriptFunction = "Function:";

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
    float f = g_settings->editor_step_factor;
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

}  // namespace

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
    for (double& v : sums[mode]) v = 0.0;
}

void Editor::StepFactor(int direction) {
    if (!g_settings || direction == 0) return;
    float f = StepFactorNow();
    f = direction > 0 ? f * 2.0f : f * 0.5f;
    if (f < kEditorStepMin) f = kEditorStepMin;
    if (f > kEditorStepMax) f = kEditorStepMax;
    g_settings->editor_step_factor = f;
    g_settings->editor_step_direction = direction > 0 ? 1 : -1;
}

void Editor::Frame(PlayerCamera* camera) {
    if (g_settings) g_settings->collider_count = 0;
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
        const int mode = g_settings ? g_settings->editor_selection_mode : 0;
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
    const int mode = g_settings ? g_settings->editor_selection_mode : 0;
    switch (mode) {
    case EDIT_SELECT:
        if (pressed[0]) ops.Select(eye, kEditorPickDistance);
        if (pressed[1]) ops.MoveToPick(eye, kEditorPickDistance);
        break;
    case EDIT_LINK:
    case EDIT_LINK_MOVE:
        if (pressed[0] && ops.Selected()) {
            Entity* parent = ops.Pick(eye, kEditorPickDistance, nullptr);
            if (mode == EDIT_LINK)
                ops.Link(parent);
            else
                ops.LinkAndMove(parent);
        }
        break;
    case EDIT_COPY:
        if (pressed[0]) ops.Copy();
        if (pressed[1]) ops.CopyAtPick(eye, kEditorPickDistance);
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

void Editor::DeleteSelected() {
    AreaEditor ops = Ops();
    Entity* e = ops.Selected();
    if (!e || e->locked) return;  // nothing would be deleted: no question
    bool yes;
    {
        DriverPaused paused;
        yes = YesNoBox("Warning!", "Are you sure you wish to delete the selected entity?");
    }
    if (yes) ops.Delete();
}

void Editor::EditSelected() { Ops().EditSelected(); }

void Editor::ToggleSelectedFlag() { Ops().ToggleFlag(); }

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
    kind.spawn(*a, argument.c_str(), name.c_str(), a->lookPoint);
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
    DriverPaused paused;
    std::string name;
    // Without a script file loaded nothing starts.
    if (AskScriptName(&name)) StartScriptByName(name.c_str());
}

void Editor::LoadModel() {
    Area* a = EditedArea();
    if (!a) return;
    const char* path;
    {
        DriverPaused paused;
        path = OpenFileDialog("Load Z1 Model", kModelDialogFilter, kModelExtension);
    }
    if (!path) return;
    std::string name = NameInGameFolder(path, GetBasePath(), "z1");
    a->EnsureModel(name.c_str());
}

void Editor::OpenArea() {
    Area* a = EditedArea();
    if (!a) return;
    const char* path;
    {
        DriverPaused paused;
        path = OpenFileDialog("Load Zendar 1 area file", kAreaDialogFilter, kAreaExtension);
    }
    if (!path) return;
    std::string name = NameInGameFolder(path, GetBasePath(), "area");
    // Opening replaces what is being edited; Load itself only adds. A file
    // Load refuses (missing, not an area, too old) must not cost the area
    // being edited: Load then only reports it.
    if (AreaFileReadable(name)) a->Clear();
    a->Load(name.c_str());
}

void Editor::SaveArea() {
    Area* a = EditedArea();
    if (!a) return;
    const char* path;
    {
        DriverPaused paused;
        path = SaveFileDialog("Save Zendar 1 area file", kAreaDialogFilter, kAreaExtension);
    }
    if (!path) return;
    std::string name = WithExtension(NameInGameFolder(path, GetBasePath(), "area"), kAreaExtension);
    a->Save(name.c_str());
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

const char* EditorSelectionLine() {
    InstallEditor();
    return g_editor->SelectionLine();
}
