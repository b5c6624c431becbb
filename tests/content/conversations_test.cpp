// Every demo conversation played both ways with the same answers: by
// "z1tool dlg run" and by the game itself (the character's binding, the
// game's import table and game object, views made with the game's font,
// clicking the character again whenever a view ends). Both must show the
// same lines and choices, end their views at the same places and leave the
// same quest log and inventory.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "common/run_program.h"
#include "dialog/dialogmanager.h"
#include "entities/npcentity.h"
#include "game/importtable.h"
#include "gui/font.h"
#include "player/conversationview.h"
#include "player/game.h"
#include "utility/basepath.h"

namespace {

const std::string kGame = ZENDAR_BIN_DIR;

// What a player meets, in order: a view's text, a choice ("options: A | B")
// or the end of a view; and what the conversation left behind.
struct Played {
    std::vector<std::string> seen;
    std::vector<std::string> quests;
    std::vector<std::string> items;
};

const char* const kViewEnds = "-- view ends";

std::string Options(const std::vector<std::string>& options) {
    std::string s = "options:";
    for (size_t i = 0; i < options.size(); ++i) s += (i ? " | " : " ") + options[i];
    return s;
}

// The bench's output, one action a line; `held` was in the inventory before.
Played FromTool(const std::string& out, const std::string& held) {
    Played p;
    if (!held.empty()) p.items.push_back(held);
    std::istringstream lines(out);
    std::string line;
    auto after = [&line](const std::string& prefix) { return line.substr(prefix.size()); };
    while (std::getline(lines, line)) {
        if (line.rfind("npc ", 0) == 0 || line.rfind("remark ", 0) == 0 || line.rfind("player: ", 0) == 0) {
            p.seen.push_back(line.substr(line.find(": ") + 2));
        } else if (line.rfind("query: ", 0) == 0) {
            std::vector<std::string> options;
            std::string rest = after("query: ");
            for (size_t at = 0;;) {
                size_t bar = rest.find(" | ", at);
                options.push_back(rest.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
                if (bar == std::string::npos) break;
                at = bar + 3;
            }
            p.seen.push_back(Options(options));
        } else if (line == kViewEnds) {
            p.seen.push_back(kViewEnds);
        } else if (line.rfind("setquest ", 0) == 0) {
            p.quests.push_back(after("setquest "));
        } else if (line.rfind("additem ", 0) == 0) {
            p.items.push_back(line.substr(line.find(' ', 8) + 1));
        } else if (line.rfind("removeitem ", 0) == 0) {
            std::string item = line.substr(line.find(' ', 11) + 1);
            for (size_t i = 0; i < p.items.size(); ++i)
                if (p.items[i] == item) {
                    p.items.erase(p.items.begin() + static_cast<long>(i));
                    break;
                }
        }
    }
    return p;
}

// An entry's wrapped lines as the one text they were made from.
std::string Joined(const TextEntry& entry) {
    std::string s;
    for (const String& l : entry.lines) {
        std::string line = l.c_str();
        while (!line.empty() && line.back() == ' ') line.pop_back();
        s += (s.empty() ? "" : " ") + line;
    }
    return s;
}

class Conversations : public ::testing::Test {
protected:
    void SetUp() override {
        saved_base_ = GetBasePath() ? GetBasePath() : "";
        SetBasePath((kGame + "/").c_str());
        saved_imports_ = g_imports;
        saved_proxy_ = GetEnvironmentProxy();
        font_.reset(new Font("font_herald.ini"));
        g_font = font_.get();
        InstallGameImports();
        SetEnvironmentProxy(&proxy_);
    }
    void TearDown() override {
        DialogManager::SetActive(nullptr);
        SetEnvironmentProxy(saved_proxy_);
        SetGameImports(saved_imports_);
        g_font = nullptr;
        delete g_game;
        g_game = nullptr;
        SetBasePath(saved_base_.c_str());
    }

    // The game: the character is clicked, every view is read as it would be
    // drawn and answered, and a view that ends sends the player back to the
    // character, until `views` things have been seen or no answer is left.
    // `held` is in the inventory before the start.
    Played InGame(const char* dialog, const std::vector<int>& choices, size_t views,
                  const std::string& held) {
        delete g_game;
        g_game = new Game(nullptr);
        if (!held.empty()) g_game->AddItem(held.c_str());
        NPCEntity npc(nullptr, "someone", 0, 0, 0);
        npc.SetDialog(dialog);
        Played p;
        EXPECT_NE(npc.dialog, nullptr) << dialog;
        if (!npc.dialog) return p;
        npc.Activate();
        size_t next = 0;
        while (p.seen.size() < views) {
            std::unique_ptr<DialogTextBox> view(DialogManager::NextTextBox());
            if (!view) {
                p.seen.push_back(kViewEnds);
                npc.Activate();
                continue;
            }
            TextBox* box = ConversationTextBox(view.get());
            if (!box) {
                ADD_FAILURE() << "the game's view is not a text box";
                break;
            }
            std::vector<std::string> options;
            for (int i = 0; i < box->entryCount; ++i)
                if (box->entries[i].selectable) options.push_back(Joined(box->entries[i]).substr(2));  // "* "
            if (options.empty()) {
                p.seen.push_back(Joined(box->entries[box->entryCount - 1]));
                continue;
            }
            p.seen.push_back(Options(options));
            if (next >= choices.size()) break;
            DialogManager::Answer(choices[next++]);
        }
        for (const String& q : g_game->QuestLog()) p.quests.push_back(q.c_str());
        for (const String& i : g_game->Inventory()) p.items.push_back(i.c_str());
        DialogManager::SetActive(nullptr);
        return p;
    }

    test_common::LogCapture log;

private:
    GameEnvironmentProxy proxy_;
    std::unique_ptr<Font> font_;
    std::string saved_base_;
    GameImports* saved_imports_ = nullptr;
    EnvironmentProxy* saved_proxy_ = nullptr;
};

TEST_F(Conversations, GameAndToolAgreeOnEveryDemoDialog) {
    struct Case {
        const char* dialog;
        std::vector<int> choices;
        const char* held;  // an item held before the start (the tool's --item)
    };
    // Answers that take each conversation through its story; the storyteller
    // is the one whose tales used to close the game's view.
    const Case cases[] = {
        {"gatekeeper", {0}, ""},
        {"innkeeper", {1, 1, 0, 2}, "barrel"},
        {"storyteller", {0, 0, 0}, ""},
        {"keeper", {0, 1}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        std::string choose;
        for (int k : c.choices) choose += (choose.empty() ? "" : ",") + std::to_string(k);
        std::string command = "'" + kGame + "/z1tool' dlg run '" + kGame + "/dialogs/" + c.dialog +
                              ".dlg' --steps 30 --choose " + choose;
        if (*c.held) command += std::string(" --item ") + c.held;
        test_common::ProgramRun run = test_common::RunProgram(command);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        Played tool = FromTool(run.out, c.held);
        ASSERT_GT(tool.seen.size(), 4u) << run.out;
        Played game = InGame(c.dialog, c.choices, tool.seen.size(), c.held);
        EXPECT_EQ(game.seen, tool.seen) << run.out;
        EXPECT_EQ(game.quests, tool.quests);
        EXPECT_EQ(game.items, tool.items);
    }
    // The storyteller asks again after each tale instead of closing.
    Played tales = InGame("storyteller", {0, 0, 0}, 12, "");
    ASSERT_GE(tales.seen.size(), 8u);
    EXPECT_EQ(tales.seen[1], "options: Tell me a tale. | Goodnight.");
    EXPECT_EQ(tales.seen[2], "Once, the river ran uphill for a day.");
    EXPECT_EQ(tales.seen[3], "options: Tell me a tale. | Goodnight.");
    EXPECT_EQ(tales.seen[4], "The moon fell asleep in the well.");
    EXPECT_EQ(tales.seen[5], "options: Tell me a tale. | Goodnight.");
}

}  // namespace
