#include "entities/objectentity.h"

#include "collision/collision.h"
#include "culling/cplane.h"
#include "culling/frameview.h"
#include "entities/modelaccess.h"
#include "models/z1model/z1model.h"
#include "entities/propertysheet.h"
#include "gfxdriver/gfxdriver.h"
#include "utility/datafile.h"
#include "z1script/scriptsystem.h"

ObjectEntity::ObjectEntity(Z1Model* model_, const char* name_, float x, float y, float z)
    : ObjectEntity(ENTITY_OBJECT, model_, name_, x, y, z) {}

ObjectEntity::ObjectEntity(uint8_t type_, Z1Model* model_, const char* name_, float x, float y, float z)
    : Entity(type_, model_, x, y, z, name_),
      checkCollision(true),
      scale(1.0f, 1.0f, 1.0f),
      onClickScript(nullptr),
      onCollideScript(nullptr),
      collideWithBox(false),
      modelIndex(-1) {
    MatrixScaling(scaleMatrix, scale);
}

ObjectEntity::ObjectEntity(const ObjectEntity& other)
    : Entity(other),
      checkCollision(other.checkCollision),
      scale(1.0f, 1.0f, 1.0f),
      onClickScript(nullptr),
      onCollideScript(nullptr),
      collideWithBox(false),
      modelIndex(-1) {
    transform = other.transform;
    MatrixScaling(scaleMatrix, scale);
}

ObjectEntity::~ObjectEntity() {
    delete[] onClickScript;
    delete[] onCollideScript;
}

void ObjectEntity::SetScale(const VECTOR& s) {
    scale = s;
    MatrixScaling(scaleMatrix, scale);
    UpdateBounds();
}

MATRIX ObjectEntity::WorldMatrix() const {
    MATRIX world;
    MatrixMultiply(world, scaleMatrix, transform);
    return world;
}

void ObjectEntity::UpdateBounds() {
    float modelBox[6];
    if (!ModelBox(model, modelBox)) return;
    TransformBox(box, modelBox, WorldMatrix());
}

void ObjectEntity::DrawModel(CPlane* frustum) { ModelDraw(model, frustum, position, nullptr); }

void ObjectEntity::Render(CPlane* frustum) {
    GfxDriver* driver = g_gfxdriver;
    if (!model || !driver) return;
    bool indoor = indoorLighting || (parent && parent->indoorLighting);
    if (indoor) {
        driver->worldFlag = (driver->worldFlag & ~0xFF) | 1;
        driver->SetAmbientColor(kIndoorColor);
        driver->SetFogColor(kIndoorColor);
        driver->EnableLight(0, false);
    }
    MATRIX savedWorld;
    driver->GetWorldMatrix(&savedWorld);
    MATRIX world = WorldMatrix();
    driver->SetWorldMatrix(&world);
    MATRIX savedObject;
    MatrixIdentity(savedObject);
    if (frustum) {
        savedObject = frustum->objectMatrix;
        frustum->SetObjectMatrix(world);
    }
    DrawModel(frustum);
    driver->SetWorldMatrix(&savedWorld);
    if (frustum) frustum->SetObjectMatrix(savedObject);
    if (indoor) {
        driver->worldFlag &= ~0xFF;
        driver->SetAmbientColor(g_frameView.ambientColor);
        driver->SetFogColor(g_frameView.fogColor);
        driver->EnableLight(0, true);
    }
}

Entity* ObjectEntity::Clone() {
    ObjectEntity* copy = new ObjectEntity(*this);
    copy->indoorLighting = indoorLighting;
    copy->SetOnClickScript(onClickScript);
    copy->SetOnCollideScript(onCollideScript);
    copy->collideWithBox = collideWithBox;
    copy->UpdateBounds();
    CloneChildrenInto(copy);
    return copy;
}

void ObjectEntity::SaveObject(DataFile* file) {
    SaveCommon(file);
    file->WriteInt(modelIndex);
    file->WriteBool(checkCollision);
    file->WriteFloat(scale.x);
    file->WriteFloat(scale.y);
    file->WriteFloat(scale.z);
    file->WriteBool(indoorLighting);
    WriteAreaText(file, onClickScript ? onClickScript : "");
    WriteAreaText(file, onCollideScript ? onCollideScript : "");
    file->WriteBool(collideWithBox);
}

// A text read as stored; null from a failed read becomes the empty text.
static void ReadText(DataFile* file, char** slot) {
    char* text = file->ReadString();
    delete[] * slot;
    *slot = text ? text : CopyText("");
}

void ObjectEntity::LoadObject(DataFile* file, int version) {
    LoadCommon(file, version);
    modelIndex = file->ReadInt();
    if (version >= 2) checkCollision = file->ReadBool();
    if (version >= 3) {
        VECTOR s;
        s.x = file->ReadFloat();
        s.y = file->ReadFloat();
        s.z = file->ReadFloat();
        scale = s;
        MatrixScaling(scaleMatrix, scale);
    }
    if (version >= 7) {
        indoorLighting = file->ReadBool();
        ReadText(file, &onClickScript);
        ReadText(file, &onCollideScript);
    }
    if (version >= 8) collideWithBox = file->ReadBool();
}

void ObjectEntity::Save(DataFile* file) { SaveObject(file); }
void ObjectEntity::Load(DataFile* file, int version) { LoadObject(file, version); }

void ObjectEntity::RayTest(RayQuery* query) {
    if (!model) return;
    ModelRayTest(model, query, WorldMatrix());
}

void ObjectEntity::Collide(CollisionPacket* packet) {
    if (!checkCollision || !model) return;
    MATRIX world = WorldMatrix();
    if (collideWithBox) {
        float modelBox[6];
        if (ModelBox(model, modelBox)) CollideBox(packet, modelBox, world);
    } else {
        model->Collide(packet, world);
    }
}

void ObjectEntity::Activate() {
    if (onClickScript && onClickScript[0]) StartScriptByName(onClickScript);
}

void ObjectEntity::DescribeProperties(PropertySheet& sheet) {
    sheet.title = "Edit Object";
    DescribeCommon(sheet);
    sheet.AddCheck("Check Collision", checkCollision);
    sheet.AddCheck("Collide With BBox:", collideWithBox);
    sheet.AddNumber("Scale : X", scale.x);
    sheet.AddNumber("Scale : Y", scale.y);
    sheet.AddNumber("Scale : Z", scale.z);
    sheet.AddCheck("Indoor Lighting", indoorLighting);
    sheet.AddText("On Click Script", onClickScript ? onClickScript : "");
    sheet.AddText("On Collide Script", onCollideScript ? onCollideScript : "");
}

void ObjectEntity::ApplyProperties(const PropertySheet& sheet) {
    checkCollision = sheet.Checked("Check Collision", checkCollision);
    collideWithBox = sheet.Checked("Collide With BBox:", collideWithBox);
    indoorLighting = sheet.Checked("Indoor Lighting", indoorLighting);
    if (sheet.Find("On Click Script")) SetOnClickScript(sheet.Text("On Click Script").c_str());
    if (sheet.Find("On Collide Script")) SetOnCollideScript(sheet.Text("On Collide Script").c_str());
    scale = VECTOR(sheet.Number("Scale : X", scale.x), sheet.Number("Scale : Y", scale.y),
                   sheet.Number("Scale : Z", scale.z));
    MatrixScaling(scaleMatrix, scale);
    ApplyCommon(sheet);  // moves last, so the bounds include the new scale
}
