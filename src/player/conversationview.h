// The conversation as the player sees it: the text box a dialog view becomes,
// and the camera it is seen through. The game's import table makes both for
// the dialog manager; the game frame feeds the box the mouse and draws it.
#ifndef ZENDAR_PLAYER_CONVERSATIONVIEW_H
#define ZENDAR_PLAYER_CONVERSATIONVIEW_H

#include "gui/textbox.h"
#include "imports/gameimports.h"

class PlayerCamera;

// The on-screen form of a conversation view: the dialog manager fills it
// line by line, the game frame feeds it the mouse and draws it.
class ConversationView : public DialogTextBox, public TextBox {
public:
    ConversationView(Font* font, int x, int y) : TextBox(font, x, y) {}
    void AddLine(const char* colour, const char* text, int selectable) override;
};

// The text box behind a view the dialog manager returned, null for any
// other kind of view.
TextBox* ConversationTextBox(DialogTextBox* view);

// The camera conversation views are seen through (made on first use with
// the settings' field of view and back plane).
PlayerCamera* ConversationCamera();

// Places the conversation camera at eye looking at target with the
// settings' field of view and back plane, and applies it to the driver.
void PlaceConversationCamera(const float eye[3], const float target[3]);

#endif
