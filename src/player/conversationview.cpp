#include "player/conversationview.h"

#include "camera/playercamera.h"
#include "gfxdriver/gfxdriver.h"
#include "settings/settings.h"

void ConversationView::AddLine(const char* colour, const char* text, int selectable) {
    AddEntry(text, colour, selectable != 0);
}

TextBox* ConversationTextBox(DialogTextBox* view) {
    ConversationView* conversation = dynamic_cast<ConversationView*>(view);
    return conversation ? static_cast<TextBox*>(conversation) : nullptr;
}

PlayerCamera* ConversationCamera() {
    static PlayerCamera* camera = nullptr;
    if (!camera) {
        float fov = g_settings ? g_settings->fovRadians : 0.0f;
        int backPlane = g_settings ? g_settings->back_plane : 0;
        camera = new PlayerCamera(fov, backPlane);
    }
    return camera;
}

void PlaceConversationCamera(const float eye[3], const float target[3]) {
    PlayerCamera* camera = ConversationCamera();
    if (g_settings) {
        camera->SetFieldOfView(g_settings->fovRadians);
        camera->SetFarPlane(g_settings->back_plane);
    }
    camera->LookAt(VECTOR(eye[0], eye[1], eye[2]), VECTOR(target[0], target[1], target[2]), 0.0f);
    camera->UpdateFrustum();
    if (g_gfxdriver) {
        g_gfxdriver->SetViewMatrix(&camera->view);
        g_gfxdriver->SetProjection(camera->fieldOfView, camera->aspect, camera->nearPlane, camera->farPlane);
    }
}
