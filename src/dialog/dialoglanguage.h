// The dialog authoring language: a text form of everything a dialog file
// holds. Compiling builds the dialog objects and writes them with the dialog
// writer; decompiling prints a loaded dialog so that compiling the print
// gives back the same bytes. The language is described in
// docs/dialog-language.md.
#ifndef ZENDAR_DIALOG_DIALOGLANGUAGE_H
#define ZENDAR_DIALOG_DIALOGLANGUAGE_H

#include <string>
#include <vector>

#include "dialog/dialogfile.h"

struct DialogCompileError {
    int line = 0;
    int column = 0;
    std::string message;
};

// Compiles source text into the bytes of a dialog file. On mistakes returns
// false with the first one's position (1-based line and byte column) and
// message in error; all collects every mistake found (a syntax mistake ends
// the search, name mistakes are all reported).
bool CompileDialogSource(const std::string& source, std::vector<unsigned char>* bytes,
                         DialogCompileError* error, std::vector<DialogCompileError>* all = nullptr);

// The text form of a loaded dialog.
std::string DecompileDialog(const DIALOG& dialog);

#endif
