// The joined-file archive: its directory read as start-up reads
// "textures.jf", then every entry opened, read, seeked and closed through the
// archive calls, and a name looked up that the archive does not hold.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "utility/jf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    // Start-up names it relative to the working folder, the game's own.
    std::string path = fuzz::WriteFile("textures.jf", data, size);
    JfInitialize(path.c_str());
    std::vector<JfEntryInfo> entries = JfDirectory();
    char buffer[4096];
    size_t opened = 0;
    for (const JfEntryInfo& e : entries) {
        // A fuzzed directory may hold thousands of entries: a few suffice.
        if (++opened > 64) break;
        FILE* f = JfOpen(e.name.c_str(), "rb");
        if (!f) continue;
        long total = 0, n;
        while ((n = JfRead(buffer, 1, sizeof buffer, f)) > 0) total += n;
        JfSeek(f, 0, SEEK_SET);
        JfRead(buffer, 3, 7, f);
        JfSeek(f, -1, SEEK_END);
        JfTell(f);
        JfSeek(f, total / 2, SEEK_CUR);
        JfRead(buffer, 1, 16, f);
        JfClose(f);
    }
    if (FILE* f = FileOpen("textures\\not-in-the-archive.bmp", "rb")) FileClose(f);
    JfShutdown();
    return 0;
}
