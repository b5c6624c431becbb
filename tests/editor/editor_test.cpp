// The editor against a real area: picks through the screen centre, drags in
// the held modes with the step factor, links, copies, deletes, property and
// spawn dialogs answered by a scripted dialogs double, and areas saved and
// opened again through the file dialogs without losing anything.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "camera/keybindings.h"
#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "common/recording_driver.h"
#include "editor/areasave.h"
#include "editor/editor.h"
#include "game/screens.h"
#include "gui/font.h"
#include "entities/cameraentity.h"
#include "entities/doorentity.h"
#include "entities/lightentity.h"
#include "entities/modelaccess.h"
#include "entities/objectentity.h"
#include "entities/propertysheet.h"
#include "os/dialogs.h"
#include "game/importtable.h"
#include "imports/enginecalls.h"
#include "input/dikeys.h"
#include "input/queueinputdriver.h"
#include "models/z1model/z1model.h"
#include "os/xrun.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "world/area.h"
#include "world/entitykinds.h"
#include "world/world_helpers.h"
#include "world/world_models.h"
#include "z1script/scriptasm.h"
#include "z1script/scriptfile.h"
#include "z1script/scriptsystem.h"

using world_test::GameDir;
using world_test::LogCapture;

namespace {

// Answers boxes and dialogs from a script, in order, and remembers what was
// asked. An unexpected call fails the test and takes the default.
class ScriptedDialogs : public Dialogs {
public:
    struct Answer {
        enum Kind {
            YES,
            NO,
            OK,
            CANCEL,
            FILE
        } kind;
        std::vector<std::pair<std::string, std::string>> fields;  // OK: set before closing
        std::string path;                                         // FILE
    };
    std::deque<Answer> answers;
    std::vector<std::string> asked;    // "yesno Warning!: ...", "dialog Edit Object", "open T|D|E"
    std::vector<PropertySheet> shown;  // sheets as they were opened
    std::vector<std::string> starts;   // the path each file dialog started at

    void Yes() { answers.push_back({Answer::YES, {}, ""}); }
    void No() { answers.push_back({Answer::NO, {}, ""}); }
    void Ok(std::vector<std::pair<std::string, std::string>> fields = {}) {
        answers.push_back({Answer::OK, std::move(fields), ""});
    }
    void Cancel() { answers.push_back({Answer::CANCEL, {}, ""}); }
    void File(const std::string& path) { answers.push_back({Answer::FILE, {}, path}); }

    void ErrorBox(const char* caption, const char* text) override {
        asked.push_back(std::string("error ") + caption + ": " + text);
    }
    bool YesNoBox(const char* caption, const char* text) override {
        asked.push_back(std::string("yesno ") + caption + ": " + text);
        Answer a = Next("a yes/no box");
        return a.kind == Answer::YES;
    }
    BoxAnswer YesNoCancelBox(const char* caption, const char* text) override {
        asked.push_back(std::string("yesnocancel ") + caption + ": " + text);
        Answer a = Next("a yes/no/cancel box");
        return a.kind == Answer::YES ? BOX_YES : a.kind == Answer::NO ? BOX_NO : BOX_CANCEL;
    }
    bool RunDialog(PropertySheet* sheet, SheetChanged on_change, void* user) override {
        asked.push_back("dialog " + sheet->title);
        shown.push_back(*sheet);
        Answer a = Next("a dialog");
        if (a.kind != Answer::OK) return false;
        for (const auto& f : a.fields) {
            std::string error;
            EXPECT_TRUE(SetSheetField(sheet, f.first, f.second, &error)) << error;
            if (on_change) {
                int index = static_cast<int>(sheet->Find(f.first.c_str()) - &sheet->fields[0]);
                on_change(sheet, index, user);
            }
        }
        return true;
    }
    bool FileDialog(bool save, const char* title, const char* description, const char* extension, char* path,
                    int size) override {
        asked.push_back(std::string(save ? "save " : "open ") + title + "|" + description + "|" + extension);
        starts.push_back(path);
        Answer a = Next("a file dialog");
        if (a.kind != Answer::FILE) return false;
        std::snprintf(path, size, "%s", a.path.c_str());
        return true;
    }

private:
    Answer Next(const char* what) {
        if (answers.empty()) {
            ADD_FAILURE() << "no scripted answer for " << what;
            return {Answer::CANCEL, {}, ""};
        }
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir((dir / "z1").c_str(), 0755);
        ASSERT_TRUE(Z1WriteFile((dir / "z1/cube.z1").c_str(), world_test::CubeScene(10.0f)));
        ASSERT_TRUE(Z1WriteFile((dir / "z1/post.z1").c_str(), world_test::PostScene()));
        InstallGameImports();  // the editor keys and error boxes go through the game's table
        InstallEditor();
        editor = g_editor;
        editor->area = &area;
        editor->Forget();
        for (int m = 0; m < EDIT_MODE_COUNT; ++m) editor->EnterEditMode(m);
        g_dialogs = &dialogs;
        Look(VECTOR(0, 0, 0), VECTOR(0, 0, 1));
    }
    void TearDown() override {
        EXPECT_TRUE(dialogs.answers.empty()) << dialogs.answers.size() << " scripted answers left";
        g_dialogs = nullptr;
        editor->Forget();
        editor->area = nullptr;
        SetGameImports(nullptr);
    }

    void Look(const VECTOR& eye, const VECTOR& target) {
        MATRIX view;
        ASSERT_TRUE(MatrixLookAt(view, eye, target, VECTOR(0, 1, 0)));
        driver.SetViewMatrix(&view);
        camera.direction = target - eye;
        camera.LookAt(eye, target, 0.0f);
    }

    // One frame of mouse work in the given held mode, seen by the camera
    // (looking along +z its axes are the world's: right +x, up +y).
    void Mouse(int mode, bool left, bool right, double dx = 0, double dy = 0, double dz = 0,
               bool heldLeft = false, bool heldRight = false, bool heldMiddle = false) {
        log.settings().editorSelectionMode = static_cast<uint8_t>(mode);
        const bool pressed[3] = {left, right, false};
        const bool held[3] = {heldLeft, heldRight, heldMiddle};
        EditorMotion m;
        m.x = dx;
        m.y = dy;
        m.z = dz;
        editor->MouseStep(&camera, pressed, held, m);
    }

    ObjectEntity* Object(const char* name, float x, float y, float z, Entity* parent = nullptr) {
        return static_cast<ObjectEntity*>(area.AddObject("cube.z1", name, x, y, z, parent));
    }

    GameDir dir;
    LogCapture log{dir / "log.txt"};
    RecordingDriver driver;
    ScopedDriver scoped{&driver};
    ScriptedDialogs dialogs;
    Area area;
    Editor* editor = nullptr;
    PlayerCamera camera{1.0f, 10000};
};

bool Near(const VECTOR& a, const VECTOR& b, float eps = 0.01f) {
    return std::fabs(a.x - b.x) < eps && std::fabs(a.y - b.y) < eps && std::fabs(a.z - b.z) < eps;
}

int PauseCalls(const RecordingDriver& d, int on) {
    int n = 0;
    for (const std::string& c : d.calls) n += c == (on ? "Pause(1)" : "Pause(0)");
    return n;
}

TEST_F(EditorTest, LeftClickSelectsUnderTheCentreAndTheOverlayNamesIt) {
    Entity* cube = Object("crate", 0, 0, 200);
    Entity* beside = Object("side", 300, 0, 200);
    ASSERT_TRUE(cube && beside);
    Mouse(EDIT_SELECT, true, false);
    EXPECT_EQ(area.selected, cube);
    EXPECT_STREQ(EditorSelectionLine(), "Object - crate");
    // Nothing under the centre: no selection and an empty line.
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, -1));
    Mouse(EDIT_SELECT, true, false);
    EXPECT_EQ(area.selected, nullptr);
    EXPECT_STREQ(EditorSelectionLine(), "");
    // Held modes do not select.
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, 1));
    Mouse(EDIT_MOVE, true, false);
    EXPECT_EQ(area.selected, nullptr);
}

TEST_F(EditorTest, RightClickMovesTheSelectionToThePickedSurfaceInWorldSpace) {
    ObjectEntity* wall = Object("wall", 0, 0, 200);
    wall->SetScale(VECTOR(2, 2, 2));  // faces at z = 200 - 20
    area.Reinsert(wall);
    Entity* lamp = area.AddLight("lamp", 500, 0, 0, nullptr);
    ASSERT_TRUE(wall && lamp);
    area.selected = lamp;
    Mouse(EDIT_SELECT, false, true);
    EXPECT_TRUE(Near(lamp->position, VECTOR(0, 0, 180))) << lamp->position.z;
    // Picking nothing leaves it where it is.
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, -1));
    Mouse(EDIT_SELECT, false, true);
    EXPECT_TRUE(Near(lamp->position, VECTOR(0, 0, 180)));
    // A locked selection stays.
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, 1));
    lamp->MoveTo(500, 0, 0);
    lamp->locked = true;
    Mouse(EDIT_SELECT, false, true);
    EXPECT_TRUE(Near(lamp->position, VECTOR(500, 0, 0)));
}

TEST_F(EditorTest, MoveModeDragsAlongTheCameraAxesScaledByTheStepFactor) {
    Entity* e = Object("crate", 0, 0, 200);
    area.selected = e;
    // Mouse right (x falls in look mode) moves right: 0.1 x 300.
    Mouse(EDIT_MOVE, false, false, -0.1, 0);
    EXPECT_TRUE(Near(e->position, VECTOR(30, 0, 200))) << e->position.x;
    // Pushed forward (y falls): along the ground ahead; with the left button: up.
    Mouse(EDIT_MOVE, false, false, 0, -0.1);
    EXPECT_TRUE(Near(e->position, VECTOR(30, 0, 230)));
    Mouse(EDIT_MOVE, false, false, 0, -0.1, 0, true);
    EXPECT_TRUE(Near(e->position, VECTOR(30, 30, 230)));
    // Its place in the tree follows: picked at the new spot.
    area.selected = nullptr;
    Look(VECTOR(30, 30, 0), VECTOR(30, 30, 1));
    Mouse(EDIT_SELECT, true, false);
    EXPECT_EQ(area.selected, e);

    // The wheel halves the factor; the drag is half as long.
    Mouse(EDIT_MOVE, false, false, -0.1, 0, -1);
    EXPECT_FLOAT_EQ(log.settings().editorStepFactor, 0.5f);
    EXPECT_EQ(log.settings().editorStepDirection, -1);
    EXPECT_TRUE(Near(e->position, VECTOR(45, 30, 230))) << e->position.x;
    // Locked: nothing moves.
    e->locked = true;
    Mouse(EDIT_MOVE, false, false, -0.1, 0);
    EXPECT_TRUE(Near(e->position, VECTOR(45, 30, 230)));
}

TEST_F(EditorTest, TheStepFactorStaysWithinItsLimits) {
    Settings& s = log.settings();
    EXPECT_FLOAT_EQ(s.editorStepFactor, 1.0f);
    editor->StepFactor(1);
    EXPECT_FLOAT_EQ(s.editorStepFactor, 1.0f);
    EXPECT_EQ(s.editorStepDirection, 1);
    for (int i = 0; i < 10; ++i) editor->StepFactor(-1);
    EXPECT_FLOAT_EQ(s.editorStepFactor, 0.05f);
    EXPECT_EQ(s.editorStepDirection, -1);
    editor->StepFactor(1);
    EXPECT_FLOAT_EQ(s.editorStepFactor, 0.1f);
    // A damaged value is brought back into range before it is used.
    s.editorStepFactor = 7.0f;
    editor->StepFactor(-1);
    EXPECT_FLOAT_EQ(s.editorStepFactor, 0.5f);
    s.editorStepFactor = 0.0f;
    editor->StepFactor(1);
    EXPECT_FLOAT_EQ(s.editorStepFactor, 0.1f);
}

TEST_F(EditorTest, RotateModesTurnAboutTheChosenAxis) {
    ObjectEntity* e = Object("crate", 0, 0, 200);
    area.selected = e;
    // World axes, no button: about y. Mouse right by pi/4 / 2 turns by pi/4.
    const float quarter = 3.14159265f / 4.0f;
    Mouse(EDIT_ROTATE_WORLD, false, false, -quarter / 2.0, 0);
    EXPECT_NEAR(e->transform[0], std::cos(quarter), 1e-4);
    EXPECT_NEAR(e->transform[5], 1.0f, 1e-4);  // y stays y
    EXPECT_TRUE(Near(e->position, VECTOR(0, 0, 200)));
    // Left button: about z, so y leaves y.
    Mouse(EDIT_ROTATE_WORLD, false, false, -quarter / 2.0, 0, 0, true);
    EXPECT_LT(e->transform[5], 0.99f);
    // Camera axes with the right button: about the camera's right (x here).
    ObjectEntity* f = Object("box", 100, 0, 200);
    area.selected = f;
    Mouse(EDIT_ROTATE, false, false, 0, -quarter / 2.0, 0, false, true);
    EXPECT_NEAR(f->transform[0], 1.0f, 1e-4);  // x stays x
    EXPECT_NEAR(std::fabs(f->transform[5]), std::cos(quarter), 1e-4);
    // Locked entities do not turn.
    f->locked = true;
    MATRIX before = f->transform;
    Mouse(EDIT_ROTATE, false, false, -1.0, 0);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(f->transform[i], before[i]);
}

TEST_F(EditorTest, ScaleModeAddsTheMotionPerAxisAndNeverGoesBelowZero) {
    ObjectEntity* e = Object("crate", 0, 0, 200);
    area.selected = e;
    // No button: all three together (mouse left = x grows in look mode).
    Mouse(EDIT_SCALE, false, false, 0.5, 0);
    EXPECT_TRUE(Near(e->scale, VECTOR(0.5f, 0.5f, 0.5f)));
    EXPECT_FLOAT_EQ(e->box[3] - e->box[0], 10.0f);  // the bounds follow
    Mouse(EDIT_SCALE, false, false, 3.0, 0);
    EXPECT_TRUE(Near(e->scale, VECTOR(0, 0, 0)));
    // One axis per button.
    Mouse(EDIT_SCALE, false, false, -1.0, 0, 0, true);
    EXPECT_TRUE(Near(e->scale, VECTOR(1, 0, 0)));
    Mouse(EDIT_SCALE, false, false, -2.0, 0, 0, false, true);
    EXPECT_TRUE(Near(e->scale, VECTOR(1, 2, 0)));
    Mouse(EDIT_SCALE, false, false, -3.0, 0, 0, false, false, true);
    EXPECT_TRUE(Near(e->scale, VECTOR(1, 2, 3)));
    // Only model entities scale; a light is left alone and nothing breaks.
    Entity* lamp = area.AddLight("lamp", 50, 0, 0, nullptr);
    area.selected = lamp;
    float box[6];
    for (int i = 0; i < 6; ++i) box[i] = lamp->box[i];
    Mouse(EDIT_SCALE, false, false, -1.0, 0);
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(lamp->box[i], box[i]);
}

TEST_F(EditorTest, EnteringADragModeClearsItsSums) {
    Entity* e = Object("crate", 0, 0, 200);
    area.selected = e;
    Mouse(EDIT_MOVE, false, false, -0.1, 0.2);
    EXPECT_DOUBLE_EQ(editor->sums[EDIT_MOVE][0], -0.1);
    EXPECT_DOUBLE_EQ(editor->sums[EDIT_MOVE][1], 0.2);
    // The held key comes through the editor key table.
    KeyCallback table[INPUT_KEY_COUNT];
    BuildEditorKeyTable(table);
    KeyEvent down{DIK_LSHIFT, 0, 1, nullptr};
    table[DIK_LSHIFT](&down);
    EXPECT_EQ(log.settings().editorSelectionMode, EDIT_MOVE);
    for (double v : editor->sums[EDIT_MOVE]) EXPECT_EQ(v, 0.0);
    KeyEvent up{DIK_LSHIFT, 0, 0, nullptr};
    table[DIK_LSHIFT](&up);
    EXPECT_EQ(log.settings().editorSelectionMode, 0);
}

TEST_F(EditorTest, LinkMakesThePickedEntityTheParent) {
    Entity* house = Object("house", 0, 0, 200);
    Entity* lamp = area.AddLight("lamp", 500, 0, 0, nullptr);
    Entity* other = Object("other", 300, 0, 0);
    ASSERT_TRUE(house && lamp && other);
    area.selected = lamp;
    Mouse(EDIT_LINK, true, false);
    EXPECT_EQ(lamp->parent, house);
    EXPECT_EQ(house->firstChild, lamp);
    EXPECT_TRUE(Near(lamp->position, VECTOR(500, 0, 0)));  // L only links

    // A: link and move onto the new parent; the old parent lets go.
    Look(VECTOR(300, 0, -100), VECTOR(300, 0, 0));
    Mouse(EDIT_LINK_MOVE, true, false);
    EXPECT_EQ(lamp->parent, other);
    EXPECT_EQ(house->firstChild, nullptr);
    EXPECT_TRUE(Near(lamp->position, VECTOR(300, 0, 0)));

    // Linking to itself only detaches.
    area.selected = other;
    other->parent = nullptr;
    Mouse(EDIT_LINK, true, false);  // picks other itself
    EXPECT_EQ(other->parent, nullptr);
    lamp->MoveTo(700, 0, 0);
    area.Reinsert(lamp);
    area.selected = lamp;
    Look(VECTOR(300, 0, -100), VECTOR(300, 0, 0));
    Mouse(EDIT_LINK, true, false);
    EXPECT_EQ(lamp->parent, other);
    Look(VECTOR(700, 0, -100), VECTOR(700, 0, 0));
    Mouse(EDIT_LINK, true, false);  // lamp picks lamp
    EXPECT_EQ(lamp->parent, nullptr);
    EXPECT_EQ(other->firstChild, nullptr);
}

TEST_F(EditorTest, LinkingToADescendantMakesNoLoopAndLockedEntitiesStay) {
    Entity* root = Object("root", 0, 0, 200);
    Entity* child = Object("child", 0, 0, 400, root);
    ASSERT_TRUE(child);
    EXPECT_EQ(child->parent, root);
    AreaEditor ops(&area);
    area.selected = root;
    ops.Link(child);
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_EQ(child->parent, root);
    // A move still ends (no loop) and carries the child.
    ops.MoveBy(10, 0, 0);
    EXPECT_TRUE(Near(child->position, VECTOR(10, 0, 400)));
    // Locked: no link.
    area.selected = child;
    child->locked = true;
    ops.Link(nullptr);
    EXPECT_EQ(child->parent, root);
}

TEST_F(EditorTest, CopiesCarryTheirChildrenToTheLookPointAndCamerasAreNotCopied) {
    ObjectEntity* house = Object("house", 0, 0, 200);
    house->SetScale(VECTOR(2, 2, 2));
    Entity* lamp = area.AddLight("lamp", 0, 50, 200, house);
    Entity* sign = Object("sign", 20, 0, 200, house);
    ASSERT_TRUE(lamp && sign);
    const int before = area.entities.Size();
    area.selected = house;
    area.lookPoint = VECTOR(1000, 0, 1000);
    Mouse(EDIT_COPY, true, false);
    ASSERT_EQ(area.entities.Size(), before + 3);
    Entity* copy = area.entities[before];
    EXPECT_EQ(copy->type, ENTITY_OBJECT);
    EXPECT_TRUE(Near(copy->position, VECTOR(1000, 0, 1000)));
    EXPECT_TRUE(Near(static_cast<ObjectEntity*>(copy)->scale, VECTOR(1, 1, 1)));
    EXPECT_EQ(copy->ChildCount(), 2);
    for (Entity* c = copy->firstChild; c; c = c->nextSibling) {
        EXPECT_EQ(c->parent, copy);
        EXPECT_GE(area.entities.IndexOf(c), before);
    }
    EXPECT_TRUE(Near(copy->firstChild->position, VECTOR(1000, 50, 1000)));
    EXPECT_EQ(area.lights.Size(), 2);
    EXPECT_EQ(area.selected, copy);  // the copy is selected, ready to be moved

    // Right button: at the picked point.
    Entity* wall = Object("wall", 0, 0, 600);
    area.selected = lamp;
    area.ScriptHook(kWorldVectorCallMove, "house", 5000, 0, 0);  // out of the line of sight
    Look(VECTOR(0, 0, 0), VECTOR(0, 0, 1));
    Mouse(EDIT_COPY, false, true);
    ASSERT_EQ(area.entities.Size(), before + 5);
    EXPECT_TRUE(Near(area.entities[before + 4]->position, VECTOR(0, 0, 590)));
    (void)wall;

    // Cameras: nothing.
    Entity* cam = area.AddCamera("cam", 0, 0, -50, nullptr);
    area.selected = cam;
    Mouse(EDIT_COPY, true, false);
    EXPECT_EQ(area.entities.Size(), before + 6);
}

TEST_F(EditorTest, DeleteAsksFirstAndLeavesTheChildrenOrphaned) {
    Entity* house = Object("house", 0, 0, 200);
    Entity* lamp = area.AddLight("lamp", 0, 50, 200, house);
    Entity* parent = Object("yard", 0, 0, 0);
    area.selected = house;
    AreaEditor(&area).Link(parent);
    ASSERT_EQ(house->parent, parent);

    KeyCallback table[INPUT_KEY_COUNT];
    BuildEditorKeyTable(table);
    KeyEvent d{DIK_D, 0, 1, nullptr};
    dialogs.No();
    table[DIK_D](&d);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0], "yesno Warning!: Are you sure you wish to delete the selected entity?");
    EXPECT_EQ(area.FindEntity("house"), house);
    EXPECT_EQ(PauseCalls(driver, 1), 1);
    EXPECT_EQ(PauseCalls(driver, 0), 1);

    dialogs.Yes();
    table[DIK_D](&d);
    EXPECT_EQ(area.FindEntity("house"), nullptr);
    EXPECT_EQ(area.entities.IndexOf(house), -1);
    EXPECT_EQ(area.selected, nullptr);
    EXPECT_EQ(lamp->parent, nullptr);
    EXPECT_EQ(parent->firstChild, nullptr);
    EXPECT_EQ(area.FindEntity("lamp"), lamp);
    // The tree no longer holds it: picking through its place finds nothing.
    Mouse(EDIT_SELECT, true, false);
    EXPECT_NE(area.selected, house);

    // Without a selection, or with a locked one, nobody is asked.
    const size_t asked = dialogs.asked.size();
    table[DIK_D](&d);
    lamp->locked = true;
    area.selected = lamp;
    table[DIK_D](&d);
    EXPECT_EQ(dialogs.asked.size(), asked);
    EXPECT_EQ(area.FindEntity("lamp"), lamp);
}

TEST_F(EditorTest, PropertyDialogRenamesMovesAndReinsertsOnOkOnly) {
    ObjectEntity* e = Object("crate", 0, 0, 200);
    Entity* parent = Object("yard", 500, 0, 0);
    e->parent = parent;
    parent->AddChild(e);
    area.selected = e;
    e->locked = true;  // the dialog edits locked entities too
    dialogs.Ok({{"Name :", "barrel"},
                {"Position X", "55.5"},
                {"Locked", "0"},
                {"Check Collision", "0"},
                {"Scale : Y", "3"},
                {"On Click Script", "open_barrel"}});
    KeyCallback table[INPUT_KEY_COUNT];
    BuildEditorKeyTable(table);
    KeyEvent f1{DIK_F1, 0, 1, nullptr};
    table[DIK_F1](&f1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const PropertySheet& shown = dialogs.shown[0];
    EXPECT_EQ(shown.title, "Edit Object");
    EXPECT_EQ(shown.Text("Name :"), "crate");
    EXPECT_EQ(shown.Text("Parent :"), "yard");
    EXPECT_EQ(shown.Find("Parent :")->kind, PropertySheet::FIELD_READONLY);
    EXPECT_EQ(shown.Text("Position Z"), "200.000000");
    EXPECT_TRUE(shown.Checked("Locked", false));
    EXPECT_EQ(PauseCalls(driver, 1), 1);
    EXPECT_EQ(PauseCalls(driver, 0), 1);

    EXPECT_EQ(area.FindEntity("crate"), nullptr);
    EXPECT_EQ(area.FindEntity("barrel"), e);
    EXPECT_FLOAT_EQ(e->position.x, 55.5f);
    EXPECT_FALSE(e->locked);
    EXPECT_FALSE(e->checkCollision);
    EXPECT_FLOAT_EQ(e->scale.y, 3.0f);
    EXPECT_STREQ(e->onClickScript, "open_barrel");
    EXPECT_EQ(area.entities.Size(), 2);  // not registered twice
    area.selected = nullptr;
    Look(VECTOR(55.5f, 0, 0), VECTOR(55.5f, 0, 1));
    Mouse(EDIT_SELECT, true, false);
    EXPECT_EQ(area.selected, e);

    // Cancel changes nothing and keeps the name registered.
    dialogs.Cancel();
    table[DIK_F1](&f1);
    EXPECT_EQ(area.FindEntity("barrel"), e);
    EXPECT_FLOAT_EQ(e->position.x, 55.5f);
}

TEST_F(EditorTest, LightDialogShowsTheColourAsBytesAndEntitiesMissingFromTheTableAreRefused) {
    LightEntity* lamp = static_cast<LightEntity*>(area.AddLight("lamp", 0, 0, 200, nullptr));
    lamp->desc.r = 1.0f;
    lamp->desc.g = 0.5f;
    area.selected = lamp;
    dialogs.Ok({{"G:", "51"}, {"Active:", "At night"}});
    editor->EditSelected();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Edit Light");
    EXPECT_EQ(dialogs.shown[0].Text("R:"), "255");
    EXPECT_EQ(dialogs.shown[0].Text("G:"), "127");
    EXPECT_NEAR(lamp->desc.g, 0.2f, 1e-4);
    EXPECT_EQ(lamp->active, 2);

    // A camera has no dialog: nothing is shown, it stays registered.
    Entity* cam = area.AddCamera("cam", 0, 0, 0, nullptr);
    area.selected = cam;
    editor->EditSelected();
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(area.FindEntity("cam"), cam);

    // Not in the name table: the error, no dialog.
    area.entityTable.Remove("cam", cam);
    editor->EditSelected();
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(log.Has("ERROR - could not retrieve selected entity from hashtable\n"));
    area.entityTable.Insert("cam", cam);
}

TEST_F(EditorTest, SpawnDialogOffersTypesAndArgumentsAndPlacesAtTheLookPoint) {
    ASSERT_TRUE(area.EnsureModel("cube.z1"));
    ASSERT_TRUE(area.EnsureModel("post.z1"));
    area.lookPoint = VECTOR(10, 20, 30);

    PropertySheet sheet;
    BuildSpawnSheet(&area, sheet);
    EXPECT_EQ(sheet.title, "Spawn Dialog");
    ASSERT_EQ(sheet.fields.size(), 3u);
    EXPECT_EQ(sheet.fields[0].label, "Type:");
    EXPECT_EQ(sheet.fields[0].choices,
              (std::vector<std::string>{"Object", "Light", "Camera", "Particle", "Door", "NPC"}));
    EXPECT_EQ(sheet.fields[0].choice, 0);  // Object at first
    EXPECT_EQ(sheet.fields[1].label, "Argument:");
    EXPECT_EQ(sheet.fields[1].choices, (std::vector<std::string>{"cube.z1", "post.z1"}));
    EXPECT_EQ(sheet.fields[2].label, "Symbolic Name:");
    EXPECT_EQ(sheet.fields[2].text, "");

    // An NPC from the second model.
    dialogs.Ok({{"Type:", "NPC"}, {"Argument:", "post.z1"}, {"Symbolic Name:", "smith"}});
    editor->SpawnDialog();
    Entity* smith = area.FindEntity("smith");
    ASSERT_NE(smith, nullptr);
    EXPECT_EQ(smith->type, ENTITY_NPC);
    EXPECT_EQ(smith->model, area.FindModel("post.z1"));
    EXPECT_TRUE(Near(smith->position, VECTOR(10, 20, 30)));
    EXPECT_EQ(area.lastSpawnType, ENTITY_NPC);
    EXPECT_EQ(PauseCalls(driver, 1), 1);

    // The next dialog starts at NPC; particles list their systems; lights
    // take no argument.
    dialogs.Ok({{"Type:", "Particle"}, {"Argument:", "Smoke"}, {"Symbolic Name:", "chimney"}});
    editor->SpawnDialog();
    EXPECT_EQ(dialogs.shown.back().Choice("Type:", -1), 5);
    Entity* smoke = area.FindEntity("chimney");
    ASSERT_NE(smoke, nullptr);
    EXPECT_EQ(smoke->type, ENTITY_PARTICLE);
    sheet.fields[0].choice = 3;
    RefillSpawnArguments(&area, sheet);
    EXPECT_EQ(sheet.fields[1].choices, (std::vector<std::string>{"Torch", "Smoke", "Camp Fire"}));
    sheet.fields[0].choice = 1;
    RefillSpawnArguments(&area, sheet);
    EXPECT_EQ(sheet.fields[1].kind, PropertySheet::FIELD_READONLY);
    EXPECT_TRUE(sheet.fields[1].choices.empty());

    dialogs.Ok({{"Type:", "Light"}, {"Symbolic Name:", "glow"}});
    editor->SpawnDialog();
    ASSERT_NE(area.FindEntity("glow"), nullptr);
    EXPECT_EQ(area.FindEntity("glow")->type, ENTITY_LIGHT);
    dialogs.Ok({{"Type:", "Camera"}, {"Symbolic Name:", "view"}});
    editor->SpawnDialog();
    ASSERT_NE(area.FindEntity("view"), nullptr);

    // Cancel places nothing; a door comes from the chosen model.
    const int n = area.entities.Size();
    dialogs.Cancel();
    editor->SpawnDialog();
    EXPECT_EQ(area.entities.Size(), n);
    dialogs.Ok({{"Type:", "Door"}, {"Argument:", "cube.z1"}, {"Symbolic Name:", "gate"}});
    editor->SpawnDialog();
    ASSERT_NE(area.FindEntity("gate"), nullptr);
    EXPECT_EQ(area.FindEntity("gate")->type, ENTITY_DOOR);
}

TEST_F(EditorTest, SpawningAModelTypeWithoutModelsCreatesNothing) {
    dialogs.Ok({{"Type:", "Object"}, {"Symbolic Name:", "nothing"}});
    editor->SpawnDialog();
    EXPECT_EQ(area.entities.Size(), 0);
    EXPECT_EQ(dialogs.shown[0].Find("Argument:")->choice, -1);
}

TEST_F(EditorTest, TogglesTheSelectedEntitysFlagAndLoadsModelsThroughTheFileDialog) {
    Entity* e = Object("crate", 0, 0, 200);
    area.selected = e;
    KeyCallback table[INPUT_KEY_COUNT];
    BuildEditorKeyTable(table);
    KeyEvent t{DIK_T, 0, 1, nullptr};
    table[DIK_T](&t);
    EXPECT_TRUE(e->editorFlag);
    table[DIK_T](&t);
    EXPECT_FALSE(e->editorFlag);

    dialogs.File(dir / "z1/post.z1");
    KeyEvent f12{DIK_F12, 0, 1, nullptr};
    table[DIK_F12](&f12);
    EXPECT_EQ(dialogs.asked.back(), "open Load Z1 Model|Z1 Files|z1");
    EXPECT_EQ(dialogs.starts.back(), GetBasePath() + std::string("z1/"));
    EXPECT_NE(area.FindModel("post.z1"), nullptr);
    dialogs.Cancel();
    table[DIK_F12](&f12);
    EXPECT_EQ(area.models.Size(), 2);
    // A model outside the game's z1 folder would not be found when the area
    // is played: refused, with the way to bring it in.
    dialogs.File("/elsewhere/statue.z1");
    table[DIK_F12](&f12);
    EXPECT_EQ(dialogs.asked.back(),
              std::string("error Load Z1 Model: The model\n/elsewhere/statue.z1\nis not in "
                          "the game's z1 folder, where an area finds its models.\nImport "
                          "it there: z1tool model import SOURCE ") +
                  GetBasePath() + "z1/NAME.z1");
    EXPECT_EQ(area.models.Size(), 2);
}

TEST_F(EditorTest, WorldErrorBoxesReachTheDialogs) {
    world_test::WriteFile(dir / "area/old.z1a", world_test::Bytes().Header(4, 0, 0).b);
    area.Load("old.z1a");
    ASSERT_FALSE(dialogs.asked.empty());
    EXPECT_EQ(dialogs.asked.back(),
              "error Error!: Sorry, but this file version is too old and is no longer supported.");
}

// Everything the area file holds, in entity-list order.
std::string Describe(Area& area) {
    std::string out;
    char buf[512];
    for (Entity* e : area.entities) {
        std::snprintf(buf, sizeof buf, "%d %s (%.3f %.3f %.3f) locked %d parent %s", e->type, e->Name(),
                      e->position.x, e->position.y, e->position.z, e->locked ? 1 : 0,
                      e->parent ? e->parent->Name() : "-");
        out += buf;
        for (int i = 0; i < 16; ++i) {
            std::snprintf(buf, sizeof buf, " %.4f", e->transform[i]);
            out += buf;
        }
        if (IsModelEntityType(e->type)) {
            auto* o = static_cast<ObjectEntity*>(e);
            std::snprintf(buf, sizeof buf, " model %s scale (%.3f %.3f %.3f) click %s", ModelName(o->model),
                          o->scale.x, o->scale.y, o->scale.z, o->onClickScript ? o->onClickScript : "");
            out += buf;
        }
        out += "\n";
    }
    return out;
}

TEST_F(EditorTest, SavedAreasOpenAgainWithNothingLost) {
    // An area edited through the editor: spawned, moved, turned, scaled,
    // linked, renamed.
    ASSERT_TRUE(area.EnsureModel("cube.z1"));
    ASSERT_TRUE(area.EnsureModel("post.z1"));
    area.lookPoint = VECTOR(0, 0, 200);
    dialogs.Ok({{"Type:", "Object"}, {"Argument:", "cube.z1"}, {"Symbolic Name:", "house"}});
    editor->SpawnDialog();
    area.lookPoint = VECTOR(0, 0, 400);
    dialogs.Ok({{"Type:", "Door"}, {"Argument:", "post.z1"}, {"Symbolic Name:", "gate"}});
    editor->SpawnDialog();
    dialogs.Ok({{"Type:", "Light"}, {"Symbolic Name:", "lamp"}});
    editor->SpawnDialog();
    Entity* house = area.FindEntity("house");
    ASSERT_NE(house, nullptr);
    area.selected = house;
    Mouse(EDIT_MOVE, false, false, -0.1, 0);
    Mouse(EDIT_ROTATE_WORLD, false, false, -0.3, 0);
    Mouse(EDIT_SCALE, false, false, -0.5, 0);
    area.selected = area.FindEntity("lamp");
    AreaEditor(&area).Link(house);
    area.selected = house;
    dialogs.Ok({{"On Click Script", "enter_house"}, {"Locked", "1"}});
    editor->EditSelected();
    const std::string before = Describe(area);

    // Ctrl+S with a full path below the game folder, no extension typed.
    dialogs.File(dir / "area/edited");
    EditorSaveAreaCommand();
    EXPECT_EQ(dialogs.asked.back(), "save Save Zendar 1 area file|ZdA Files|z1a");
    const std::string saved = world_test::ReadFile(dir / "area/edited.z1a");
    ASSERT_GT(saved.size(), 14u);
    EXPECT_EQ(saved.substr(0, 4), std::string("Z1A\0", 4));
    EXPECT_EQ(saved[4], 8);

    // Ctrl+O replaces what is in the editor and drops the selection.
    dialogs.File(dir / "area/edited.z1a");
    EditorOpenAreaCommand();
    EXPECT_EQ(dialogs.asked.back(), "open Load Zendar 1 area file|ZdA Files|z1a");
    EXPECT_EQ(area.selected, nullptr);
    EXPECT_EQ(area.entities.Size(), 3);
    EXPECT_EQ(Describe(area), before);
    EXPECT_EQ(area.FindEntity("lamp")->parent, area.FindEntity("house"));

    // Saved again (a bare name this time), byte for byte the same file.
    dialogs.File("again.z1a");
    EditorSaveAreaCommand();
    EXPECT_EQ(world_test::ReadFile(dir / "area/again.z1a"), saved);

    // Cancelled dialogs leave the area alone.
    dialogs.Cancel();
    EditorOpenAreaCommand();
    EXPECT_EQ(area.entities.Size(), 3);
}

TEST_F(EditorTest, AVersionFiveAreaIsSavedAsVersionEightWithAllFields) {
    world_test::Bytes b;
    b.Header(5, 1, 1).S("cube.z1");
    b.U8(ENTITY_DOOR).Common("old_gate", 5, 0, 7).I32(0).U8(1).F(1).F(1).F(1);
    b.U8(1).U8(2).F(45.0f).F(10.0f).U8(1);
    world_test::WriteFile(dir / "area/v5.z1a", b.b);
    dialogs.File("v5.z1a");
    EditorOpenAreaCommand();
    ASSERT_EQ(area.entities.Size(), 1);
    auto* door = static_cast<DoorEntity*>(area.entities[0]);
    EXPECT_EQ(door->doorType, 1);
    dialogs.File("v8.z1a");
    EditorSaveAreaCommand();
    Area again;
    again.Load("v8.z1a");
    ASSERT_EQ(again.entities.Size(), 1);
    auto* door8 = static_cast<DoorEntity*>(again.entities[0]);
    EXPECT_EQ(door8->doorType, 1);
    EXPECT_EQ(door8->axis, 2);
    EXPECT_FLOAT_EQ(door8->displacement, 45.0f);
    EXPECT_TRUE(door8->reverseDirection);
    const std::string saved = world_test::ReadFile(dir / "area/v8.z1a");
    EXPECT_EQ(saved[4], 8);
}

TEST_F(EditorTest, OpeningAFileTheLoaderRefusesKeepsTheAreaBeingEdited) {
    ASSERT_TRUE(area.EnsureModel("cube.z1"));
    area.lookPoint = VECTOR(0, 0, 200);
    dialogs.Ok({{"Type:", "Object"}, {"Argument:", "cube.z1"}, {"Symbolic Name:", "house"}});
    editor->SpawnDialog();
    dialogs.Ok({{"Type:", "Light"}, {"Symbolic Name:", "lamp"}});
    editor->SpawnDialog();
    area.selected = area.FindEntity("house");
    editor->history.MarkSaved();  // no question about unsaved changes here
    const std::string before = Describe(area);
    ASSERT_EQ(area.entities.Size(), 2);

    // Too old: the refusal box, and nothing lost.
    world_test::WriteFile(dir / "area/old.z1a", world_test::Bytes().Header(4, 0, 0).b);
    dialogs.File("old.z1a");
    EditorOpenAreaCommand();
    EXPECT_EQ(dialogs.asked.back(),
              "error Error!: Sorry, but this file version is too old and is no longer supported.");
    EXPECT_EQ(Describe(area), before);
    EXPECT_EQ(area.selected, area.FindEntity("house"));

    // Not an area file, and a file that is not there.
    world_test::WriteFile(dir / "area/notes.z1a", std::string("just some text\n"));
    dialogs.File("notes.z1a");
    EditorOpenAreaCommand();
    EXPECT_EQ(Describe(area), before);
    dialogs.File("missing.z1a");
    EditorOpenAreaCommand();
    EXPECT_EQ(Describe(area), before);
    EXPECT_EQ(area.models.Size(), 1);
}

std::string SavedBytes(Area& area, const std::string& path) {
    std::string error;
    EXPECT_TRUE(SaveAreaFile(area, path, &error)) << error;
    return world_test::ReadFile(path);
}

TEST_F(EditorTest, EveryEditUndoesAndRedoesToTheSameBytes) {
    ASSERT_TRUE(area.EnsureModel("cube.z1"));
    ObjectEntity* house = Object("house", 0, 0, 200);
    auto* lamp = static_cast<LightEntity*>(area.AddLight("lamp", 0, 50, 200, house));
    lamp->desc.g = 0.3f;  // no whole byte: the dialog shows 76
    Entity* gate = area.AddDoor("cube.z1", "gate", 300, 0, 200, nullptr);
    ASSERT_NE(Object("wall", 0, 0, 600), nullptr);
    ASSERT_NE(area.AddParticle("smoke", "Smoke", 0, 100, 900, nullptr), nullptr);
    ASSERT_NE(area.AddCamera("cam", 50, 50, 50, nullptr), nullptr);
    const std::string check = dir / "area/check.z1a";
    const std::string original = SavedBytes(area, check);
    KeyCallback table[INPUT_KEY_COUNT];
    BuildEditorKeyTable(table);

    // Each edit is one step, named as the log names it.
    struct Edit {
        const char* name;
        std::function<void()> make;
    };
    const Edit edits[] = {
        {"move", [&] { area.selected = house, Mouse(EDIT_MOVE, false, false, -0.1, 0.05); }},
        {"turn",
         [&] { Mouse(EDIT_ROTATE_WORLD, false, false, -0.3, 0), Mouse(EDIT_ROTATE_WORLD, 0, 0, 0.1); }},
        {"scale", [&] { Mouse(EDIT_SCALE, false, false, -0.5, 0); }},
        {"move", [&] { Mouse(EDIT_SELECT, false, true); }},  // onto the wall under the crosshair
        {"link",
         [&] {
             area.selected = lamp;
             Look(VECTOR(300, 0, -100), VECTOR(300, 0, 0));
             Mouse(EDIT_LINK_MOVE, true, false);
         }},
        {"copy", [&] { area.selected = house, Mouse(EDIT_COPY, true, false); }},
        {"delete",
         [&] {
             area.selected = gate;
             dialogs.Yes();
             KeyEvent d{DIK_D, 0, 1, nullptr};
             table[DIK_D](&d);
         }},
        {"spawn",
         [&] {
             dialogs.Ok({{"Type:", "Particle"}, {"Argument:", "Torch"}, {"Symbolic Name:", "torch"}});
             editor->SpawnDialog();
         }},
        {"properties",
         [&] {
             area.selected = lamp;
             dialogs.Ok({{"Name :", "lantern"}, {"R:", "10"}, {"Range:", "333.3"}});
             editor->EditSelected();
         }},
        {"load model", [&] { dialogs.File(dir / "z1/post.z1"), editor->LoadModel(); }},
    };
    std::vector<std::string> states = {original};
    for (const Edit& e : edits) {
        const int steps = editor->history.Size();
        e.make();
        editor->CommitDrag();
        ASSERT_EQ(editor->history.Size(), steps + 1) << e.name;
        EXPECT_STREQ(editor->history.UndoName(), e.name);
        states.push_back(SavedBytes(area, check));
        EXPECT_NE(states.back(), states[states.size() - 2]) << e.name << " changed nothing saved";
    }
    EXPECT_TRUE(editor->Changed());
    EXPECT_EQ(area.FindEntity("lamp"), nullptr);
    EXPECT_EQ(lamp->parent, nullptr);  // linked to the gate, which was deleted after

    // Back step by step to the first bytes, forward again to the last, and
    // back once more (a deleted entity comes back into its old place each time).
    for (int round = 0; round < 2; ++round) {
        for (size_t i = states.size() - 1; i > 0; --i) {
            editor->Undo();
            ASSERT_EQ(SavedBytes(area, check), states[i - 1]) << "undo of " << edits[i - 1].name;
        }
        EXPECT_FALSE(editor->Changed());
        EXPECT_EQ(editor->history.UndoName(), nullptr);
        if (round == 1) break;
        for (size_t i = 1; i < states.size(); ++i) {
            editor->Redo();
            ASSERT_EQ(SavedBytes(area, check), states[i]) << "redo of " << edits[i - 1].name;
        }
    }
    EXPECT_EQ(area.FindEntity("lamp"), lamp);
    EXPECT_FLOAT_EQ(lamp->desc.g, 0.3f);
    EXPECT_EQ(lamp->parent, house);
    EXPECT_EQ(area.FindModel("post.z1"), nullptr);
    EXPECT_TRUE(log.Has("EDITOR - undo load model\n"));

    // A new edit after undoing drops the steps that could have been redone.
    editor->Redo();
    area.selected = gate;
    Mouse(EDIT_MOVE, false, false, -0.1, 0);
    editor->CommitDrag();
    EXPECT_EQ(editor->history.RedoName(), nullptr);
    EXPECT_EQ(editor->history.Size(), 2);
}

TEST_F(EditorTest, OkOnAnUnchangedDialogChangesNothing) {
    auto* lamp = static_cast<LightEntity*>(area.AddLight("lamp", 0.1f, 1.0000001f, 3.3333333f, nullptr));
    lamp->desc.r = 0.5f;
    lamp->desc.b = 0.123456f;
    area.selected = lamp;
    const std::string check = dir / "area/check.z1a";
    const std::string before = SavedBytes(area, check);
    dialogs.Ok();
    editor->EditSelected();
    EXPECT_EQ(SavedBytes(area, check), before);
    EXPECT_EQ(editor->history.Size(), 0);
    EXPECT_FALSE(editor->Changed());
}

TEST_F(EditorTest, UnsavedChangesAreMarkedAndOfferedForSavingFirst) {
    Object("house", 0, 0, 200);
    EXPECT_EQ(editor->TitleText(), "new area");
    EXPECT_TRUE(editor->ReadyToLeave("before quitting"));
    EXPECT_TRUE(dialogs.asked.empty()) << "nothing to save, nothing asked";

    dialogs.Ok({{"Type:", "Light"}, {"Symbolic Name:", "glow"}});
    editor->SpawnDialog();
    EXPECT_EQ(editor->TitleText(), "new area (unsaved changes)");
    const std::string question = "yesnocancel Unsaved changes: Save the changes to the area before quitting?";
    dialogs.Cancel();
    EXPECT_FALSE(editor->ReadyToLeave("before quitting"));
    EXPECT_EQ(dialogs.asked.back(), question);
    EXPECT_TRUE(log.Has("EDITOR - cancelled: the unsaved changes stay\n"));
    dialogs.No();
    EXPECT_TRUE(editor->ReadyToLeave("before quitting"));
    EXPECT_TRUE(editor->Changed()) << "No drops nothing but the question";

    // Yes without a file asks where, starting in the area folder.
    dialogs.Yes();
    dialogs.File(dir / "area/kept");
    EXPECT_TRUE(editor->ReadyToLeave("before quitting"));
    EXPECT_EQ(dialogs.starts.back(), GetBasePath() + std::string("area/"));
    const std::string kept = dir / "area/kept.z1a";
    EXPECT_EQ(editor->FilePath(), kept);
    EXPECT_EQ(editor->TitleText(), "kept.z1a");
    EXPECT_TRUE(log.Has("EDITOR - saved '" + kept + "'\n"));

    // With a file, Yes saves there at once; Ctrl+S starts at it.
    Mouse(EDIT_SELECT, true, false);
    Mouse(EDIT_MOVE, false, false, -0.1, 0);
    EXPECT_EQ(editor->TitleText(), "kept.z1a (unsaved changes)");
    const size_t asked = dialogs.asked.size();
    dialogs.Yes();
    EXPECT_TRUE(editor->ReadyToLeave("before opening another area"));
    ASSERT_EQ(dialogs.asked.size(), asked + 1);
    EXPECT_EQ(dialogs.asked.back(),
              "yesnocancel Unsaved changes: Save the changes to kept.z1a before opening another area?");
    EXPECT_FALSE(editor->Changed());
    dialogs.Cancel();
    EditorSaveAreaCommand();
    EXPECT_EQ(dialogs.starts.back(), kept);

    // Undone back past the save, the area differs from its file again.
    editor->Undo();
    EXPECT_TRUE(editor->Changed());
    editor->Redo();
    EXPECT_FALSE(editor->Changed());

    // Ctrl+O over unsaved changes: Cancel keeps everything, no file dialog.
    editor->Undo();
    dialogs.Cancel();
    EditorOpenAreaCommand();
    EXPECT_EQ(dialogs.asked.back().substr(0, 11), "yesnocancel");
    EXPECT_TRUE(editor->Changed());
    // Playing: No goes on and hands over what the start script held back.
    dialogs.No();
    EXPECT_TRUE(EditorLeaveForGame());
}

TEST_F(EditorTest, SavesReplaceTheFileOnlyWhenCompleteAndSayWhyNot) {
    Object("house", 0, 0, 200);
    area.AddLight("lamp", 0, 50, 200, nullptr);
    const std::string target = dir / "area/kept.z1a";
    world_test::WriteFile(target, std::string("the old file"));
    struct Case {
        const char* what;
        std::string path;
        std::string reason;
    };
    std::vector<Case> cases = {
        {"a missing folder", dir / "area/none/x.z1a",
         "the folder " + (dir / "area/none") + " does not exist"},
        {"a full disk", target, "the file could not be written completely (is the disk full?)"},
    };
    // A folder that cannot be written: a read-only one, or for root (who
    // writes anywhere) a read-only file system.
    if (geteuid() != 0) {
        ::chmod((dir / "area").c_str(), 0555);
        cases.push_back({"a read-only folder", target, "Permission denied"});
    } else if (::access("/sys", F_OK) == 0) {
        cases.push_back({"a read-only file system", "/sys/zendar_kept.z1a", "Permission denied"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rlimit saved{};
        const bool full = std::string(c.what) == "a full disk";
        if (full) {
            // The file may not grow past 40 bytes: the write fails half way.
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit tight = saved;
            tight.rlim_cur = 40;
            std::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &tight);
        }
        const bool saved_ok = editor->SaveTo(c.path);
        if (full) ::setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_FALSE(saved_ok);
        EXPECT_EQ(dialogs.asked.back(), "error Save failed: The area was not saved to\n" + c.path + "\n" +
                                            c.reason + ".\nA file that was there is unchanged.");
        // (With the file size limit the log cannot grow either.)
        if (!full) {
            EXPECT_TRUE(log.Has("ERROR - could not save the area to '" + c.path + "': " + c.reason + "\n"));
        }
        EXPECT_EQ(world_test::ReadFile(target), "the old file");
        EXPECT_FALSE(xrun::FileExists(AreaSaveTempPath(c.path)));
        EXPECT_TRUE(editor->FilePath().empty());
    }
    ::chmod((dir / "area").c_str(), 0755);
    ASSERT_TRUE(editor->SaveTo(target));
    EXPECT_EQ(world_test::ReadFile(target).substr(0, 4), std::string("Z1A\0", 4));
    EXPECT_FALSE(xrun::FileExists(AreaSaveTempPath(target)));
}

TEST(EditorPaths, ChosenPathsBecomeNamesInTheGameFolder) {
    EXPECT_EQ(NameInGameFolder("/game/area/village.z1a", "/game/", "area"), "village.z1a");
    EXPECT_EQ(NameInGameFolder("/game/area/sub/v.z1a", "/game/", "area"), "sub/v.z1a");
    EXPECT_EQ(NameInGameFolder("village.z1a", "/game/", "area"), "village.z1a");
    EXPECT_EQ(NameInGameFolder("area\\village.z1a", "/game/", "area"), "village.z1a");
    EXPECT_EQ(NameInGameFolder("/tmp/x.z1a", "/game/", "area"), "../../tmp/x.z1a");
    EXPECT_EQ(NameInGameFolder("/game/z1/house.z1", "/game/", "z1"), "house.z1");
    EXPECT_EQ(NameInGameFolder("/game/./area/../area/v.z1a", "/game/", "area"), "v.z1a");
}

}  // namespace

namespace {

// Whole editor frames through a queued input driver: the camera's poll runs
// the editor keys, the held mode drags the selection, the view stays put
// while it does, and the wheel sets the step factor.
class EditorFrameTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        saved = g_inputdriver;
        g_inputdriver = &input;
        ASSERT_TRUE(InstallKeyBindings(&input, true));
        SetMouseMode(MOUSE_LOOK);
        camera.LookAt(VECTOR(0, 0, 0), VECTOR(1, 0, 0), 0.0f);
    }
    void TearDown() override {
        g_inputdriver = saved;
        ResetMouseModes();
        EditorTest::TearDown();
    }
    QueueInputDriver input;
    InputDriver* saved = nullptr;
};

TEST_F(EditorFrameTest, KeysAndTheMouseWorkThroughTheFrame) {
    Entity* crate = Object("crate", 200, 0, 0);
    EditorFrame(&camera);  // the camera looks along +x (yaw 0)
    EXPECT_NEAR(camera.direction.x, 1.0f, 1e-5);

    // A click selects what the centre shows (a press and release in one
    // read leave no latch, as with the device).
    input.PushMouseButton(0, true);
    EditorFrame(&camera);
    ASSERT_EQ(area.selected, crate);
    input.PushMouseButton(0, false);

    // Shift held and the mouse moved right: the crate slides to the camera's
    // right (-z here) by 50 counts x 0.002 x 300, and the view stays.
    input.PushKey(DIK_LSHIFT, true);
    input.PushMouseMotion(50, 0, 0);
    EditorFrame(&camera);
    EXPECT_EQ(log.settings().editorSelectionMode, EDIT_MOVE);
    EXPECT_TRUE(Near(crate->position, VECTOR(200, 0, -30))) << crate->position.z;
    EXPECT_NEAR(camera.direction.x, 1.0f, 1e-5);
    EXPECT_NEAR(camera.direction.z, 0.0f, 1e-5);

    // Released: the same motion turns the view and leaves the crate.
    input.PushKey(DIK_LSHIFT, false);
    input.PushMouseMotion(50, 0, 0);
    EditorFrame(&camera);
    EXPECT_EQ(log.settings().editorSelectionMode, 0);
    EXPECT_TRUE(Near(crate->position, VECTOR(200, 0, -30)));
    EXPECT_LT(camera.direction.x, 0.999f);

    // One wheel notch back halves the step factor.
    input.PushMouseMotion(0, 0, -120);
    EditorFrame(&camera);
    EXPECT_FLOAT_EQ(log.settings().editorStepFactor, 0.5f);

    // F10 through the poll: the spawn dialog.
    dialogs.Ok({{"Type:", "Camera"}, {"Symbolic Name:", "spot"}});
    input.PushKey(DIK_F10, true);
    input.PushKey(DIK_F10, false);
    EditorFrame(&camera);
    EXPECT_NE(area.FindEntity("spot"), nullptr);
}

}  // namespace

namespace {

TEST_F(EditorFrameTest, TheFrameRateComesFromTheRealClock) {
    // The harness's clock says a second a frame; the frames come at least
    // 20 ms apart.
    UseFixedClock(1000);
    EXPECT_EQ(EditorFramesPerSecond(), 0.0f);
    for (int i = 0; i < 6; ++i) {
        EditorFrame(&camera);
        AdvanceFixedClock();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    UseRealTimeClock();
    EXPECT_GT(EditorFramesPerSecond(), 2.0f);
    EXPECT_LE(EditorFramesPerSecond(), 50.5f);
}

// The overlay's lines as the font drew them, by height on the screen: each
// glyph is a strip whose texture corner names its cell (spaces are not drawn).
std::map<int, std::string> DrawnLines(const RecordingDriver& driver, const Font& font) {
    char ofCell[256] = {};
    for (int c = 1; c < 256; ++c)
        if (font.glyphCell[c] >= 0) ofCell[font.glyphCell[c]] = static_cast<char>(c);
    std::map<int, std::string> lines;
    for (const DrawRecord& d : driver.draws) {
        if (d.format != VertexFormat::kTLVertex || d.primitive != Primitive::kStrip || d.tlvertex.empty())
            continue;
        const TLVERTEX& v = d.tlvertex[0];
        const int cell = static_cast<int>(v.tv / 0.125f) * 16 + static_cast<int>(v.tu / 0.0625f);
        lines[static_cast<int>(v.sy)] += cell >= 0 && cell < 256 ? ofCell[cell] : '?';
    }
    return lines;
}

TEST_F(EditorFrameTest, TheOverlayShowsTheSpeedWholeAndTheMeasuredFrameRate) {
    std::string text = "Test font\n[skins]\nwhite\ntextures\\font\\w.bmp\ntextures\\font\\w_a.bmp\n[data]\n";
    for (char c : std::string("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:.-/+"))
        text += std::string(1, c) + " 16\n";
    xrun::WriteFile(dir / "font.ini", text + "[end]\n");
    Font font((dir / "font.ini").c_str());
    Font* savedFont = g_font;
    g_font = &font;
    log.settings().showDebugText = 1;
    log.settings().show_interface = 0;
    log.settings().movementSpeed = 1050.0f;
    for (int i = 0; i < 4; ++i) {
        EditorFrame(&camera);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    driver.draws.clear();
    EditorOverlay(&camera, "Object - crate");
    g_font = savedFont;

    std::vector<std::string> lines;
    for (const auto& line : DrawnLines(driver, font)) lines.push_back(line.second);
    ASSERT_GE(lines.size(), 4u);
    float fps = 0.0f;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "FPS:%f", &fps), 1) << lines[0];
    EXPECT_GT(fps, 2.0f);
    EXPECT_NEAR(fps, EditorFramesPerSecond(), 0.051f) << "the editor's own clock, one decimal";
    const std::string all = ::testing::PrintToString(lines);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Speed:1050"), 1) << all;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Selected:Object-crate"), 1) << all;
    EXPECT_EQ(lines.back().compare(0, 12, "ArrowsflyCli"), 0) << "the keys, last: " << lines.back();
}

TEST_F(EditorTest, ScriptCallDialogStartsTheNamedProgram) {
    std::vector<ScriptRecord> records;
    std::string error;
    ASSERT_TRUE(AssembleScript("program lever* locals=1\n  wait\nend\n", &records, &error)) << error;
    const std::string path = dir / "calls.z1s";
    ASSERT_TRUE(WriteScriptFile(path.c_str(), records, &error)) << error;
    ScriptSystem scripts;
    scripts.Load(path.c_str());
    ScriptSystem* saved = g_scripts;
    g_scripts = &scripts;

    KeyCallback table[INPUT_KEY_COUNT];
    BuildEditorKeyTable(table);
    KeyEvent f11{DIK_F11, 0, 1, nullptr};
    dialogs.Ok({{"Function:", "lever7"}});
    table[DIK_F11](&f11);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Call script function:");
    EXPECT_EQ(scripts.RunningCount(), 1);
    EXPECT_EQ(PauseCalls(driver, 1), 1);
    EXPECT_EQ(PauseCalls(driver, 0), 1);
    // Cancel starts nothing; an overlong name is cut and still matches.
    dialogs.Cancel();
    table[DIK_F11](&f11);
    EXPECT_EQ(scripts.RunningCount(), 1);
    dialogs.Ok({{"Function:", "lever" + std::string(300, 'x')}});
    table[DIK_F11](&f11);
    ASSERT_EQ(scripts.RunningCount(), 2);
    EXPECT_EQ(std::string(scripts.Texts().Get(scripts.Running()->start_argument)),
              "lever" + std::string(251, 'x'));  // 256 characters
    g_scripts = saved;
}

}  // namespace
