#include "entities/doorentity.h"

#include "entities/modelaccess.h"
#include "entities/propertysheet.h"
#include "imports/gameimports.h"
#include "models/z1model/z1model.h"
#include "settings/settings.h"
#include "utility/clock.h"
#include "utility/datafile.h"

const char* DoorTypeName(int type) {
    switch (type) {
    case DOOR_SWINGING: return "Swinging";
    case DOOR_SLIDING: return "Sliding";
    default: return "Unknown type";
    }
}

const char* DoorAxisName(int axis) {
    switch (axis) {
    case 0: return "x";
    case 1: return "y";
    case 2: return "z";
    default: return "Unknown axis";
    }
}

DoorEntity::DoorEntity(Z1Model* model_, const char* name_, float x, float y, float z)
    : ObjectEntity(ENTITY_DOOR, model_, name_, x, y, z),
      moving(false),
      progress(0.0f),
      lastTime(0),
      doorType(DOOR_SWINGING),
      axis(0),
      displacement(0.0f),
      speed(0.0f),
      reverseDirection(false),
      open(false),
      doorLocked(false),
      key(nullptr) {}

DoorEntity::~DoorEntity() { delete[] key; }

void DoorEntity::Activate() {
    if (moving) return;
    if (doorLocked) {
        if (!g_imports->HasItem(key ? key : "")) {
            g_imports->ShowMessage("The door is locked, and you don't have the key!", 4.0f);
            return;
        }
        g_imports->ShowMessage("You unlock the door.", 4.0f);
        doorLocked = false;
    }
    moving = true;
    progress = 0.0f;
    open = !open;
    lastTime = ClockMilliseconds();
}

void DoorEntity::Animate() {
    VECTOR unit(axis == 0 ? 1.0f : 0.0f, axis == 1 ? 1.0f : 0.0f, axis == 2 ? 1.0f : 0.0f);
    float sign = 1.0f;
    if (reverseDirection) sign = -sign;
    if (open) sign = -sign;
    uint32_t now = ClockMilliseconds();
    uint32_t elapsed = now - lastTime;
    lastTime = now;
    float step = elapsed / 1000.0f * speed;
    if (progress + step > displacement) step = displacement - progress;
    if (doorType == DOOR_SWINGING) {
        RotateAxis(unit, sign * step * 0.017453292f);
    } else if (doorType == DOOR_SLIDING) {
        VECTOR offset = unit;
        VectorSetLength(offset, step);
        MoveTo(position.x + sign * offset.x, position.y + sign * offset.y, position.z + sign * offset.z);
    } else {
        return;  // an unknown kind of door stays "moving" without moving
    }
    progress += step;
    if (progress >= displacement) moving = false;
}

void DoorEntity::Render(CPlane* frustum) {
    if (moving) Animate();
    ObjectEntity::Render(frustum);
}

Entity* DoorEntity::Clone() {
    DoorEntity* copy = new DoorEntity(model, nullptr, position.x, position.y, position.z);
    copy->locked = locked;
    copy->editorFlag = editorFlag;
    copy->checkCollision = checkCollision;
    copy->transform = transform;
    copy->doorType = doorType;
    copy->axis = axis;
    copy->displacement = displacement;
    copy->speed = speed;
    copy->reverseDirection = reverseDirection;
    copy->open = open;
    copy->doorLocked = doorLocked;
    copy->SetKey(key);
    copy->UpdateBounds();
    CloneChildrenInto(copy);
    return copy;
}

void DoorEntity::Save(DataFile* file) {
    SaveObject(file);
    file->WriteByte(doorType);
    file->WriteByte(axis);
    file->WriteFloat(displacement);
    file->WriteFloat(speed);
    file->WriteBool(reverseDirection);
    file->WriteBool(open);
    WriteAreaText(file, key ? key : "");
    file->WriteBool(doorLocked);
}

void DoorEntity::Load(DataFile* file, int version) {
    LoadObject(file, version);
    if (version >= 5) {
        doorType = file->ReadByte();
        axis = file->ReadByte();
        displacement = file->ReadFloat();
        speed = file->ReadFloat();
        reverseDirection = file->ReadBool();
    }
    if (version >= 6) {
        open = file->ReadBool();
        char* text = file->ReadString();
        delete[] key;
        key = text ? text : CopyText("");
        doorLocked = file->ReadBool();
    }
}

void DoorEntity::Collide(CollisionPacket* packet) {
    if (g_settings && g_settings->editor) return;
    if (!checkCollision || !model) return;
    model->Collide(packet, WorldMatrix());
}

void DoorEntity::DescribeProperties(PropertySheet& sheet) {
    sheet.title = "Edit Door";
    DescribeCommon(sheet);
    sheet.AddCheck("Check Collision", checkCollision);
    sheet.AddNumber("Scale : X", scale.x);
    sheet.AddNumber("Scale : Y", scale.y);
    sheet.AddNumber("Scale : Z", scale.z);
    sheet.AddChoice("Door Type:", {"Swinging", "Sliding"}, doorType);
    sheet.AddChoice("Door Axis:", {"x", "y", "z"}, axis);
    sheet.AddNumber("Displacement (deg or units)", displacement);
    sheet.AddNumber("Door speed (displacement pr. sec):", speed);
    sheet.AddCheck("Reverse direction:", reverseDirection);
    sheet.AddCheck("Open", open);
    sheet.AddCheck("Locked:", doorLocked);
    sheet.AddText("Key:", key ? key : "");
}

void DoorEntity::ApplyProperties(const PropertySheet& sheet) {
    checkCollision = sheet.Checked("Check Collision", checkCollision);
    doorType = static_cast<uint8_t>(sheet.Choice("Door Type:", doorType));
    axis = static_cast<uint8_t>(sheet.Choice("Door Axis:", axis));
    displacement = sheet.Number("Displacement (deg or units)", displacement);
    speed = sheet.Number("Door speed (displacement pr. sec):", speed);
    reverseDirection = sheet.Checked("Reverse direction:", reverseDirection);
    open = sheet.Checked("Open", open);
    doorLocked = sheet.Checked("Locked:", doorLocked);
    if (sheet.Find("Key:")) SetKey(sheet.Text("Key:").c_str());
    scale = VECTOR(sheet.Number("Scale : X", scale.x), sheet.Number("Scale : Y", scale.y),
                   sheet.Number("Scale : Z", scale.z));
    MatrixScaling(scaleMatrix, scale);
    ApplyCommon(sheet);
}
