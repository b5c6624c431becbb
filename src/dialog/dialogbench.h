// The writers' test bench: runs a dialog as the game binds it (npc
// parameters named from the file, string parameters "PARAM_STRING"), keeps a
// quest log and inventory as the game object does, and prints one line per
// action. Used by "z1tool dlg run" and the tests.
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

// One printed line for an action ("player: TEXT", "query: A | B", ...).
std::string DescribeAction(const Action* action);

// Binds dialogName (the loader adds ".dlg") and steps it, printing to out.
// Stops after options.steps actions, or at a query with no answer left.
// False when the dialog cannot be bound.
bool RunDialogBench(const char* dialogName, const DialogBenchOptions& options, FILE* out);

#endif
