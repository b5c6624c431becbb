#include "player/questlog.h"

#include <cctype>
#include <cstring>

#include "gui/font.h"
#include "gui/textbox.h"
#include "player/game.h"

std::string QuestTitle(const char* flag) {
    std::string title = flag ? flag : "";
    for (char& c : title)
        if (c == '_' || c == '-') c = ' ';
    if (!title.empty()) title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
    return title;
}

std::vector<std::pair<std::string, std::string>> QuestLogLines(const Game& game) {
    std::vector<std::pair<std::string, std::string>> lines;
    lines.push_back({"yellow", "Quest log"});
    const List<String>& flags = game.QuestLog();
    int shown = 0;
    for (int i = 0; i < flags.Size(); ++i) {
        bool seen = false;  // a flag set twice is one entry of the log
        for (int j = 0; j < i && !seen; ++j) seen = std::strcmp(flags[i].c_str(), flags[j].c_str()) == 0;
        if (seen) continue;
        lines.push_back({"white", "  " + QuestTitle(flags[i].c_str())});
        ++shown;
    }
    if (shown == 0) lines.push_back({"white", "  Nothing yet."});
    lines.push_back({"yellow", "Items held"});
    const List<String>& items = game.Inventory();
    for (int i = 0; i < items.Size(); ++i) lines.push_back({"white", std::string("  ") + items[i].c_str()});
    if (items.Size() == 0) lines.push_back({"white", "  Nothing."});
    lines.push_back({"yellow", "Press J to close."});
    return lines;
}

TextBox* MakeQuestLogBox(const Game& game, int x, int y) {
    TextBox* box = new TextBox(g_font, x, y);
    for (const auto& line : QuestLogLines(game))
        box->AddEntry(line.second.c_str(), line.first.c_str(), false);
    return box;
}
