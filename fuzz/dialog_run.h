// Plays a dialog file as a conversation of the game: bound to a character
// as an NPC binds its dialog, made the active conversation, then stepped
// view by view, each query answered with the next choice the input gives.
#ifndef ZENDAR_FUZZ_DIALOG_RUN_H
#define ZENDAR_FUZZ_DIALOG_RUN_H

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Writes bytes as "dialogs\fuzz.dlg" and plays it for at most views text
// boxes; choices[i % count] answers the i-th view.
void PlayDialog(const uint8_t* bytes, size_t size, const uint8_t* choices, size_t count, int views);

}  // namespace fuzz

#endif
