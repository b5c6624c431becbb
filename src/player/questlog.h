// The quest-log screen: what the player has found out and what he carries,
// on a key of its own (J). Quest flags are names made for scripts and
// conversations ("gate_key_given"); the screen shows each once, as a title
// made from the name ("Gate key given"), in the order they were set.
#ifndef ZENDAR_PLAYER_QUESTLOG_H
#define ZENDAR_PLAYER_QUESTLOG_H

#include <string>
#include <vector>

class Game;
class TextBox;

// "gate_key_given" -> "Gate key given": underscores and dashes become spaces,
// the first letter a capital.
std::string QuestTitle(const char* flag);

// The screen's lines as (skin, text) pairs: a heading, the titles of the
// distinct quest flags, a heading and the items held, and how to close it.
std::vector<std::pair<std::string, std::string>> QuestLogLines(const Game& game);

// The screen as a text box at (x, y) (the caller owns it).
TextBox* MakeQuestLogBox(const Game& game, int x, int y);

#endif
