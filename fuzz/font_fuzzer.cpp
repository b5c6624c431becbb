// The font description: read as start-up reads "font_herald.ini", then
// every skin selected and every character drawn and measured at a few
// sizes, tabs and all.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "gui/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    std::string path = fuzz::WriteFile("font_herald.ini", data, size);
    Font font(path.c_str());
    char text[256];
    for (int c = 1; c < 256; ++c) text[c - 1] = static_cast<char>(c);
    text[255] = '\0';
    int skins = 0;
    for (const FontSkin* s = font.Skins(); s && skins < 8; s = s->next, ++skins) {
        font.SelectSkin(s->name);
        for (int n : {12, 1, 40}) {
            font.SetSize(n);
            font.DrawPlain(10, 20, text);
            font.DrawText(0, 0, "%s\t%d", "A\tb", n);
            font.TextWidth(text, 7);
        }
    }
    font.SelectSkin("yellow");
    font.DrawPlain(-5, 700, "Time: 7:00");
    return 0;
}
