// Prints the demo quest's replay (tests/playthrough/quest_replay.h) for the
// Windows build's playthrough in scripts/test-windows.sh, so that the Linux
// and the Windows runs walk the same way from one source.
#include <cstdio>
#include <string>

#include "playthrough/quest_replay.h"

int main() {
    const std::string replay = quest_replay::WholeQuest();
    std::fwrite(replay.data(), 1, replay.size(), stdout);
    return 0;
}
