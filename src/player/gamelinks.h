// Where the game object, the font and the text box meet the modules that
// call into them: the conversation system's presentation (text boxes, the
// conversation camera, quest flags, items, scripts), the script runtime's
// game calls and the world's game link (keys, messages, the pointer mode).
#ifndef ZENDAR_PLAYER_GAMELINKS_H
#define ZENDAR_PLAYER_GAMELINKS_H

#include "dialog/dialogmanager.h"
#include "gui/textbox.h"

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

// Installs the game's side of every seam above (once start-up has made the
// game object; each call reaches g_game, g_font and the drivers when they
// exist, so calling it earlier is safe). The clock display of the world is
// given the font's text call when the world already exists.
void InstallGameLinks();
// Puts every seam back to its logging default (tests).
void RemoveGameLinks();

// The font's text call in the shape the world's clock display takes.
void DrawFontText(float x, float y, const char* text);

#endif
