#include "player/game.h"

#include <cstring>

#include "camera/keybindings.h"
#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "gfxdriver/gfxdriver.h"
#include "gui/interfaceimage.h"
#include "imports/enginecalls.h"
#include "imports/gameimports.h"
#include "input/inputdriver.h"
#include "utility/clock.h"
#include "utility/log.h"
#include "world/area.h"
#include "world/world.h"

Game* g_game = nullptr;

const char* const kQuestLogMessage = "Your quest log has been updated..";

Game::Game(PlayerCamera* playerCamera) : camera(playerCamera) {}

Game::~Game() {
    for (InterfaceImage* icon : icons) delete icon;
}

bool Game::HasItem(const char* name) const {
    if (!name) return false;
    for (const String& item : inventory)
        if (item == name) return true;
    return false;
}

void Game::AddItem(const char* name) { inventory.Add(String(name)); }

void Game::RemoveItem(const char* name) {
    if (!name) return;
    for (int i = 0; i < inventory.Size(); ++i) {
        if (inventory[i] == name) {
            inventory.RemoveAt(i);
            return;
        }
    }
}

bool Game::QuestFlagDefined(const char* flag) const {
    if (!flag) return false;
    for (const String& entry : questLog)
        if (entry == flag) return true;
    return false;
}

void Game::SetQuestFlag(const char* flag) {
    ShowMessage(kQuestLogMessage, 3.0f);
    questLog.Add(String(flag));
}

void Game::ShowMessage(const char* text, float seconds) {
    messageStart = ClockSeconds();
    messageDuration = seconds;
    messageText = text;
}

String Game::CurrentMessage() {
    if (ClockSeconds() >= messageStart + messageDuration) messageText = "";
    return messageText;
}

InterfaceImage* Game::Icon(const char* name) {
    // Textures belong to the driver that registered them.
    if (iconDriver != g_gfxdriver) {
        for (InterfaceImage* icon : icons) delete icon;
        icons.SetSize(0);
        iconDriver = g_gfxdriver;
    }
    String texture = String("textures\\icons\\") + name + ".bmp";
    for (int i = 0; i < icons.Size(); ++i) {
        if (std::strcmp(icons[i]->Texture(), texture.c_str()) != 0) continue;
        // One made before there was a driver is made again now.
        if (icons[i]->ready || !g_gfxdriver) return icons[i];
        delete icons[i];
        icons.RemoveAt(i);
        break;
    }
    InterfaceImage* icon =
        new InterfaceImage("an item", texture.c_str(), nullptr, 0, 0, kIconSize, kIconSize, true);
    icons.Add(icon);
    return icon;
}

void Game::DrawInventory() {
    for (int i = 0; i < inventory.Size(); ++i) {
        InterfaceImage* icon = Icon(inventory[i].c_str());
        icon->Place(kIconX + kIconStep * i, kIconY);
        icon->Draw();
    }
}

void Game::ScriptCall(int code, const char* text, int value) {
    if (!text) text = "";
    switch (code) {
    case kGameCallSpare: spare = value; break;
    case kGameCallShowMessage:
        LogLine("setting info string..");
        ShowMessage(text, static_cast<float>(value));
        break;
    case kGameCallLoadScene: LoadScene(text); break;
    case kGameCallCollisionOn:
    case kGameCallMovementSpeed: ApplyScriptSettingsCall(code, value); break;
    case kGameCallAddItem: AddItem(text); break;
    case kGameCallSetQuestFlag: SetQuestFlag(text); break;
    default: break;
    }
}

void Game::ScriptVectorCall(int code, const char*, const VECTOR& v) {
    if (code != kGameVectorCallMoveCamera || !camera) return;
    camera->MoveBy(v.x, v.y, v.z);
}

void Game::LoadScene(const char* name) {
    if (!name) name = "";
    LogLine("Loading scene '%s'", name);
    HideAllInterfaceImages();
    SetInterfaceImageShown("load1", true);
    SetInterfaceImageShown("load2", true);
    SetInterfaceImageShown("load3", true);

    GfxDriver* driver = g_gfxdriver;
    bool wrapU = true;
    bool wrapV = true;
    if (driver) {
        wrapU = driver->SetTextureWrapU(false);
        wrapV = driver->SetTextureWrapV(false);
        if (driver->BeginScene()) {
            driver->Clear(PackColor(255, 0, 0, 0));
            DrawInterface();
            driver->EndScene();
            driver->ShowFrame();
        }
    }

    // A scene replaces the one before it: the area's own load adds to what
    // is there, so the old scene goes first.
    Area* area = g_world ? g_world->GetArea() : g_area;
    if (area) {
        area->Clear();
        area->Load(name);
    }

    if (driver) {
        driver->SetTextureWrapU(wrapU);
        driver->SetTextureWrapV(wrapV);
    }

    // Back to walking.
    HideAllInterfaceImages();
    SetInterfaceImageShown("cursor", false);
    SetInterfaceImageShown("crosshair", true);
    if (!InstallKeyBindings(g_inputdriver, false)) LogLine("ERROR - could not initialize input devices");
    SetMouseMode(MOUSE_LOOK);
}
