#include "entities/npcentity.h"

#include <string>

#include "collision/collision.h"
#include "culling/frameview.h"
#include "entities/modelaccess.h"
#include "entities/propertysheet.h"
#include "imports/gameimports.h"
#include "utility/clock.h"
#include "utility/datafile.h"
#include "utility/log.h"
#include "utility/random.h"

NPCEntity::NPCEntity(Z1Model* model_, const char* name_, float x, float y, float z)
    : ObjectEntity(ENTITY_NPC, model_, name_, x, y, z),
      dialogFile(nullptr),
      dialog(nullptr),
      morphWeights(new float[kMorphWeightCount]()),
      blinkActive(false),
      blinkDirection(1.0f),
      blinkLast(0.0f),
      moveActive(false),
      moveDirection(1.0f),
      moveNext(0.0f),
      talkActive(false),
      talkDirection(1.0f),
      talkIndex(1),
      talkPeak(1.0f),
      talkStart(0.0f),
      talkDuration(0.0f),
      talkLast(0.0f) {}

NPCEntity::~NPCEntity() {
    delete dialog;
    delete[] dialogFile;
    delete[] morphWeights;
}

void NPCEntity::SetDialog(const char* file) {
    SetText(&dialogFile, file ? file : "");
    if (dialog) {
        if (DialogManager::Active() == dialog) DialogManager::SetActive(nullptr);
        delete dialog;
        dialog = nullptr;
    }
    if (!dialogFile[0] || EntityRecordsOnly()) return;
    std::string path = std::string("dialogs\\") + dialogFile;
    dialog = new DialogBinding(path.c_str(), this);
    if (!DialogManager::Bind(dialog)) {
        LogLine("NPCEntity:: Error loading dialog %s", dialogFile);
        delete dialog;
        dialog = nullptr;
    }
}

void NPCEntity::StartTalking(float duration) {
    if (talkActive) return;
    float now = ClockSeconds();
    talkActive = true;
    talkDirection = 1.0f;
    talkIndex = 1;
    talkPeak = 1.0f;
    talkStart = now;
    talkLast = now;
    talkDuration = duration;
}

static float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

void NPCEntity::AnimateFace(float t) {
    float* w = morphWeights;
    // Blink: weight 0 up and down in a quarter second each way.
    if (blinkActive) {
        w[0] = Clamp(w[0] + blinkDirection * (t - blinkLast) / 0.25f, 0.0f, 1.0f);
        blinkLast = t;
        if (blinkDirection > 0 && w[0] >= 1.0f) {
            blinkDirection = -1.0f;
        } else if (blinkDirection < 0 && w[0] <= 0.0f) {
            blinkActive = false;
        }
    } else if (Z1Rand() % 1000 <= 8) {
        blinkActive = true;
        blinkDirection = 1.0f;
        blinkLast = t;
    }
    // Movement 9: up in half a second, hold, back down.
    if (moveActive) {
        if (t >= moveNext) {
            w[9] = Clamp(w[9] + moveDirection * (t - moveNext) / 0.5f, 0.0f, 1.0f);
            moveNext = t;
            if (moveDirection > 0 && w[9] >= 1.0f) {
                moveDirection = -1.0f;
                moveNext = t + kMovementHoldSeconds;
            } else if (moveDirection < 0 && w[9] <= 0.0f) {
                moveActive = false;
            }
        }
    } else if (Z1Rand() % 1000 <= 4) {
        moveActive = true;
        moveDirection = 1.0f;
        moveNext = t;
    }
    // Talking: the current mouth shape opens to its peak and closes; each
    // closing picks a new shape and peak until the duration has passed.
    if (talkActive) {
        float& current = w[talkIndex];
        current = Clamp(current + talkDirection * (t - talkLast) / 0.3f, 0.0f, talkPeak);
        talkLast = t;
        if (talkDirection > 0 && current >= talkPeak) {
            talkDirection = -1.0f;
        } else if (talkDirection < 0 && current <= 0.0f) {
            if (t < talkStart + talkDuration) {
                int f = Z1Rand() % 100;
                talkIndex = f <= 50 ? 1 : 2;
                talkPeak = 1.0f - f / 200.0f;
                talkDirection = 1.0f;
            } else {
                talkActive = false;
            }
        }
    }
}

void NPCEntity::DrawModel(CPlane* frustum) { ModelDraw(model, frustum, position, morphWeights); }

void NPCEntity::Render(CPlane* frustum) {
    if (g_frameView.areaLoaded && VectorLength(g_frameView.camera - position) < kFaceAnimationDistance)
        AnimateFace(ClockSeconds());
    ObjectEntity::Render(frustum);
}

Entity* NPCEntity::Clone() {
    NPCEntity* copy = new NPCEntity(model, nullptr, position.x, position.y, position.z);
    copy->locked = locked;
    copy->editorFlag = editorFlag;
    copy->checkCollision = checkCollision;
    copy->SetDialog(dialogFile);
    copy->UpdateBounds();
    CloneChildrenInto(copy);
    return copy;
}

void NPCEntity::Save(DataFile* file) {
    SaveObject(file);
    WriteAreaText(file, dialogFile ? dialogFile : "");
}

void NPCEntity::Load(DataFile* file, int version) {
    LoadObject(file, version);
    if (version >= 5) {
        char* text = file->ReadString();
        SetDialog(text ? text : "");
        delete[] text;
    }
}

void NPCEntity::Collide(CollisionPacket* packet) {
    if (!checkCollision || !model) return;
    float modelBox[6];
    if (ModelBox(model, modelBox)) CollideBox(packet, modelBox, WorldMatrix());
}

void NPCEntity::Activate() {
    if (!dialog) return;
    g_imports->SetPointerMode();
    DialogManager::SetActive(dialog);
}

void NPCEntity::GetConversationFrame(float pos[3], float xAxis[3], float zAxis[3]) {
    VECTOR x(transform[0], transform[1], transform[2]);
    VECTOR z(transform[8], transform[9], transform[10]);
    VectorNormalize(x);
    VectorNormalize(z);
    pos[0] = position.x;
    pos[1] = position.y;
    pos[2] = position.z;
    xAxis[0] = x.x;
    xAxis[1] = x.y;
    xAxis[2] = x.z;
    zAxis[0] = z.x;
    zAxis[1] = z.y;
    zAxis[2] = z.z;
}

float NPCEntity::GetConversationEyeHeight() {
    const float height = box[4] - position.y;
    if (!(height > 1.0f)) return DialogCharacter::kDefaultEyeHeight;
    return 0.9f * (height < kTallestFigure ? height : kTallestFigure);
}

void NPCEntity::DescribeProperties(PropertySheet& sheet) {
    sheet.title = "Edit NPC";
    DescribeCommon(sheet);
    sheet.AddCheck("Check Collision", checkCollision);
    sheet.AddNumber("Scale : X", scale.x);
    sheet.AddNumber("Scale : Y", scale.y);
    sheet.AddNumber("Scale : Z", scale.z);
    sheet.AddText("Dialog file:", dialogFile ? dialogFile : "");
}

void NPCEntity::ApplyProperties(const PropertySheet& sheet) {
    checkCollision = sheet.Checked("Check Collision", checkCollision);
    scale = VECTOR(sheet.Number("Scale : X", scale.x), sheet.Number("Scale : Y", scale.y),
                   sheet.Number("Scale : Z", scale.z));
    MatrixScaling(scaleMatrix, scale);
    std::string file = sheet.Text("Dialog file:", dialogFile ? dialogFile : "");
    if (file != (dialogFile ? dialogFile : "")) SetDialog(file.c_str());
    ApplyCommon(sheet);
}
