#include "entities/lightentity.h"

#include <cstdio>

#include "culling/frameview.h"
#include "entities/modelaccess.h"
#include "entities/propertysheet.h"
#include "particle/particle.h"
#include "settings/settings.h"
#include "utility/datafile.h"

const char* LightActiveName(int active) {
    switch (active) {
    case LIGHT_ACTIVE_ALWAYS: return "Always";
    case LIGHT_ACTIVE_DAY: return "At day";
    case LIGHT_ACTIVE_NIGHT: return "At night";
    default: return "Unknown type";
    }
}

LightEntity::LightEntity(Z1Model* marker, const char* name_, float x, float y, float z)
    : Entity(ENTITY_LIGHT, marker, x, y, z, name_),
      lightIndex(-1),
      desc{},
      enabledInDriver(false),
      on(false),
      glows(false),
      glowTexture(nullptr),
      glowAlphaMap(nullptr),
      glowSize(0),
      active(LIGHT_ACTIVE_ALWAYS),
      glow(nullptr) {
    desc.position = position;
}

LightEntity::LightEntity(Z1Model* marker, const char* name_, float x, float y, float z,
                         const LightDesc& spawn)
    : LightEntity(marker, name_, x, y, z) {
    desc.type = spawn.type;
    desc.direction = spawn.direction;
    desc.r = spawn.r;
    desc.g = spawn.g;
    desc.b = spawn.b;
    desc.range = spawn.range;
    desc.position = position;
    CreateDriverLight();
}

LightEntity::~LightEntity() {
    // The driver keeps its lights: one whose entity is gone (a scene
    // replaced by the next) must not go on lighting the new one.
    if (g_gfxdriver && lightIndex >= 0) g_gfxdriver->EnableLight(lightIndex, false);
    delete glow;
    delete[] glowTexture;
    delete[] glowAlphaMap;
}

void LightEntity::CreateDriverLight() {
    if (!g_gfxdriver) return;
    lightIndex = g_gfxdriver->CreateLight(desc);
    SyncDriverState();
}

void LightEntity::CreateGlow() {
    delete glow;
    glow = nullptr;
    if (!glows) return;
    glow = new LensGlow(position, static_cast<float>(glowSize), static_cast<float>(glowSize),
                        glowTexture ? glowTexture : "", glowAlphaMap ? glowAlphaMap : "");
}

void LightEntity::SyncDriverState() {
    // Lights that follow the day cycle start dark until the rule lights them;
    // "Always" lights keep what the driver gave them.
    if (g_gfxdriver && lightIndex >= 0 && active != LIGHT_ACTIVE_ALWAYS && !enabledInDriver)
        g_gfxdriver->EnableLight(lightIndex, false);
}

void LightEntity::Enable(bool enable) {
    if (g_gfxdriver && lightIndex >= 0) g_gfxdriver->EnableLight(lightIndex, enable);
    enabledInDriver = enable;
}

void LightEntity::SetOn(bool isDay) {
    if (active == LIGHT_ACTIVE_DAY) {
        if (isDay && !on) {
            on = true;
            Enable(true);
        } else if (!isDay && on) {
            on = false;
            Enable(false);
        }
    } else if (active == LIGHT_ACTIVE_NIGHT) {
        if (!isDay && !on) {
            on = true;
            Enable(true);
        } else if (isDay && on) {
            on = false;
            Enable(false);
        }
    }
}

void LightEntity::Update(bool isDay, const VECTOR& camera) {
    SetOn(isDay);
    float distance = VectorLength(desc.position - camera);
    float backPlane = g_settings ? static_cast<float>(g_settings->back_plane) : 5000.0f;
    if (desc.range + backPlane + kLightReachMargin >= distance) {
        if (on && !enabledInDriver) Enable(true);
    } else if (enabledInDriver) {
        Enable(false);
    }
}

void LightEntity::UpdateBounds() {
    float markerBox[6] = {-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
    ModelBox(model, markerBox);
    box[0] = markerBox[0] + position.x;
    box[1] = markerBox[1] + position.y;
    box[2] = markerBox[2] + position.z;
    box[3] = markerBox[3] + position.x;
    box[4] = markerBox[4] + position.y;
    box[5] = markerBox[5] + position.z;
    desc.position = position;
    if (g_gfxdriver && lightIndex >= 0) {
        g_gfxdriver->SetLight(lightIndex, desc);
        SyncDriverState();
    }
    if (glow) glow->position = position;
}

void LightEntity::Render(CPlane* frustum) {
    if (!DrawMarker(frustum)) return;
    if (on && glows && glow && g_frameView.areaLoaded &&
        VectorLength(g_frameView.camera - position) <= kGlowDistance)
        CollectGlow(glow);
}

Entity* LightEntity::Clone() {
    LightEntity* copy = new LightEntity(model, nullptr, position.x, position.y, position.z);
    copy->desc = desc;
    copy->locked = locked;
    copy->editorFlag = editorFlag;
    copy->glows = glows;
    copy->SetGlowTexture(glowTexture);
    copy->SetGlowAlphaMap(glowAlphaMap);
    copy->glowSize = glowSize;
    copy->active = active;
    copy->CreateDriverLight();
    copy->CreateGlow();
    copy->UpdateBounds();
    CloneChildrenInto(copy);
    return copy;
}

void LightEntity::Save(DataFile* file) {
    SaveCommon(file);
    file->WriteByte(static_cast<uint8_t>(desc.type));
    file->WriteFloat(desc.position.x);
    file->WriteFloat(desc.position.y);
    file->WriteFloat(desc.position.z);
    file->WriteFloat(desc.direction.x);
    file->WriteFloat(desc.direction.y);
    file->WriteFloat(desc.direction.z);
    file->WriteFloat(desc.r);
    file->WriteFloat(desc.g);
    file->WriteFloat(desc.b);
    file->WriteFloat(desc.range);
    file->WriteBool(glows);
    file->WriteInt(glowSize);
    WriteAreaText(file, glowTexture ? glowTexture : "");
    WriteAreaText(file, glowAlphaMap ? glowAlphaMap : "");
    file->WriteByte(active);
}

static void ReadText(DataFile* file, char** slot) {
    char* text = file->ReadString();
    delete[] * slot;
    *slot = text ? text : CopyText("");
}

void LightEntity::Load(DataFile* file, int version) {
    LoadCommon(file, version);
    desc.type = file->ReadByte();
    desc.position.x = file->ReadFloat();
    desc.position.y = file->ReadFloat();
    desc.position.z = file->ReadFloat();
    desc.direction.x = file->ReadFloat();
    desc.direction.y = file->ReadFloat();
    desc.direction.z = file->ReadFloat();
    desc.r = file->ReadFloat();
    desc.g = file->ReadFloat();
    desc.b = file->ReadFloat();
    desc.range = file->ReadFloat();
    if (version >= 2) {
        glows = file->ReadBool();
        glowSize = file->ReadInt();
        ReadText(file, &glowTexture);
        ReadText(file, &glowAlphaMap);
    }
    if (version >= 8) active = file->ReadByte();
    CreateDriverLight();
    if (glows && g_gfxdriver) CreateGlow();
}

// A colour component as the byte the dialog shows; it reads back exactly
// while that text is untouched.
static void AddColor(PropertySheet& sheet, const char* label, float c) {
    char shown[32];
    std::snprintf(shown, sizeof shown, "%i", static_cast<int>(c * 255.0f));
    sheet.AddShownNumber(label, shown, static_cast<double>(c) * 255.0);
}

static float ColorFrom(const PropertySheet& sheet, const char* label, float c) {
    return static_cast<float>(sheet.Value(label, static_cast<double>(c) * 255.0) / 255.0);
}

void LightEntity::DescribeProperties(PropertySheet& sheet) {
    sheet.title = "Edit Light";
    DescribeCommon(sheet);
    AddColor(sheet, "R:", desc.r);
    AddColor(sheet, "G:", desc.g);
    AddColor(sheet, "B:", desc.b);
    sheet.AddNumber("Range:", desc.range);
    sheet.AddCheck("Glows", glows);
    sheet.AddText("Texture:", glowTexture ? glowTexture : "");
    sheet.AddText("Alpha Map:", glowAlphaMap ? glowAlphaMap : "");
    sheet.AddInteger("Glow size:", glowSize);
    sheet.AddChoice("Active:", {"Always", "At day", "At night"}, active);
}

void LightEntity::ApplyProperties(const PropertySheet& sheet) {
    desc.r = ColorFrom(sheet, "R:", desc.r);
    desc.g = ColorFrom(sheet, "G:", desc.g);
    desc.b = ColorFrom(sheet, "B:", desc.b);
    desc.range = sheet.Number("Range:", desc.range);
    glows = sheet.Checked("Glows", glows);
    if (sheet.Find("Texture:")) SetGlowTexture(sheet.Text("Texture:").c_str());
    if (sheet.Find("Alpha Map:")) SetGlowAlphaMap(sheet.Text("Alpha Map:").c_str());
    glowSize = static_cast<int>(sheet.Number("Glow size:", static_cast<float>(glowSize)));
    active = static_cast<uint8_t>(sheet.Choice("Active:", active));
    if (g_gfxdriver) CreateGlow();
    ApplyCommon(sheet);  // moves the light, which hands the description to the driver
}
