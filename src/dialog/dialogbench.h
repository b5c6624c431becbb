// The writers' test bench: runs a dialog as the game binds it (npc
// parameters named from the file, string parameters "PARAM_STRING") and
// steps it through the game's own presentation step, with a quest log and
// inventory kept as the game object does, printing one line per action and
// a line where the game's conversation view ends. Used by "z1tool dlg run"
// and the tests.
#ifndef ZENDAR_DIALOG_DIALOGBENCH_H
#define ZENDAR_DIALOG_DIALOGBENCH_H

#include <cstdio>
#include <string>
#include <vector>

#include "dialog/dialoginstance.h"

struct DialogBenchOptions {
    std::vector<int> choices;         // answers to the queries, in order
    std::vector<std::string> quests;  // quest flags set before the start
    std::vector<std::string> items;   // items held before the start
    long steps = 100;                 // stop after this many actions
};

// Printed where the game's conversation view ends (a suspend, a log entry,
// an error): the player has to click the character again, and the bench
// goes on as if he had.
constexpr const char* kBenchViewEnds = "-- view ends";

// One printed line for an action ("player: TEXT", "query: A | B", ...).
std::string DescribeAction(const Action* action);

// Binds dialogName (the loader adds ".dlg") and steps it, printing to out.
// Stops once options.steps actions are printed (at the end of a view), or at
// a query with no answer left.
// False when the dialog cannot be bound.
bool RunDialogBench(const char* dialogName, const DialogBenchOptions& options, FILE* out);

#endif
