// Writes the harnesses' seed corpora from the built game folder and the
// demo's sources: fuzz_seeds GAME_DIR ASSETS_DIR OUT_DIR makes OUT_DIR/<name>/
// for every harness. Where the demo has no file of a format (animations,
// extra settings, replays, archives) a small one is made here with the
// engine's own writers, fitting the model the harness loads it beside.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_scenes.h"
#include "utility/datafile.h"
#include "utility/jf.h"

namespace {

// Bigger seeds make every mutation slower; the formats' structure shows in
// small files.
constexpr size_t kMaxSeed = 16 * 1024;

std::string g_out;
int g_written = 0;

std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && Lower(s.substr(s.size() - end.size())) == end;
}

// Regular files of dir (recursive) whose names end with one of the endings.
void Find(const std::string& dir, const std::vector<std::string>& endings, std::vector<std::string>* out) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string path = dir + "/" + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            Find(path, endings, out);
            continue;
        }
        for (const std::string& end : endings)
            if (EndsWith(name, end)) out->push_back(path);
    }
    closedir(d);
    std::sort(out->begin(), out->end());
}

void Put(const std::string& harness, const std::string& name, const std::vector<uint8_t>& bytes) {
    if (bytes.size() > kMaxSeed) return;
    std::string dir = g_out + "/" + harness;
    mkdir(dir.c_str(), 0755);
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ++g_written;
}

void PutText(const std::string& harness, const std::string& name, const std::string& text) {
    Put(harness, name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string Base(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

void CopyAll(const std::string& harness, const std::string& dir, const std::vector<std::string>& endings,
             size_t limit = 100) {
    std::vector<std::string> files;
    Find(dir, endings, &files);
    // The smallest first: they cost the least to mutate.
    std::sort(files.begin(), files.end(),
              [](const std::string& a, const std::string& b) { return Read(a).size() < Read(b).size(); });
    for (size_t i = 0; i < files.size() && i < limit; ++i) Put(harness, Base(files[i]), Read(files[i]));
}

// An animation file for the animation harness's skinned figure: frames of
// every bone turning a little further about z.
std::vector<uint8_t> FigureAnimation(int frames) {
    std::vector<uint8_t> out;
    auto put = [&out](const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    };
    int16_t f = static_cast<int16_t>(frames), b = fuzz::kFigureBones;
    put(&f, 2);
    put(&b, 2);
    for (int frame = 0; frame < frames; ++frame)
        for (int bone = 0; bone < fuzz::kFigureBones; ++bone) {
            float v[6] = {bone ? 40.0f : 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.1f * static_cast<float>(frame)};
            put(v, sizeof v);
        }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: fuzz_seeds GAME_DIR ASSETS_DIR OUT_DIR\n");
        return 2;
    }
    const std::string game = argv[1], assets = argv[2];
    g_out = argv[3];
    mkdir(g_out.c_str(), 0755);

    CopyAll("settings", game, {"z1.ini"});
    CopyAll("daycycle", game, {"daycycle.ini"});
    std::vector<std::string> fonts;
    Find(game, {".ini"}, &fonts);
    for (const std::string& path : fonts)
        if (Base(path).compare(0, 4, "font") == 0) Put("font", Base(path), Read(path));
    CopyAll("model", game + "/z1", {".z1"});
    CopyAll("area", game + "/area", {".z1a"});
    CopyAll("dialog", game + "/dialogs", {".dlg"});
    CopyAll("script", game, {".scr"});
    CopyAll("bitmap", game + "/textures", {".bmp"}, 8);
    CopyAll("dlgsrc", assets + "/dialogs", {".dtxt"});
    CopyAll("zasm", assets + "/scripts", {".zasm"});
    CopyAll("zs", assets + "/scripts", {".zs"});
    // Every construct of the script language, for its compiler.
    PutText(
        "zs", "constructs.zs",
        "const N = 3;\nconst UP = vec(0, 250, 0);\n"
        "function fact(n: int): int { if (n <= 1) { return 1; } return n * fact(n - 1); }\n"
        "function walk(who: text, from: vector, to: vector, steps: int) {\n"
        "    var step = (to - from) / float(steps);\n    var at = from;\n"
        "    for (var i = 0; i < steps; i++) { at += step; world.move(who, at); sleep(50); }\n}\n"
        "program main on init {\n    var a = 7 / N % 2;\n    var f = 1.5 * float(a);\n"
        "    var t = \"x\" + a + f;\n    var v = vec(f, 2, -f) + UP;\n    v.y += 1;\n"
        "    while (a < 10 && f >= 0.0 || !a) { a++; if (a == 5) continue; if (a > 8) break; }\n"
        "    walk(t, v, -v, 3);\n    game.showMessage(text(fact(a)) + int(\"12\"), random(3));\n"
        "    world.rotate(startName(), v * 2);\n    wait();\n    return a;\n}\n"
        "program doors on click(\"door*\") sync { world.trigger(startName()); game.setQuestFlag(\"d\"); }\n"
        "program \"lever*\" on collision(\"lever*\") { game.addItem(\"k\"); game.moveCamera(UP); }\n");
    CopyAll("anm", game + "/anims", {".anm"});
    CopyAll("extra", game + "/z1", {".ex"});
    CopyAll("replay", assets, {".replay"});

    // Data-file reads: sixteen operation bytes, then a file of the game.
    std::vector<std::string> texts;
    Find(game, {".ini", ".scr"}, &texts);
    for (size_t i = 0; i < texts.size(); ++i) {
        std::vector<uint8_t> bytes;
        for (int op = 0; op < 16; ++op)
            bytes.push_back(static_cast<uint8_t>((op * 7 + i * 3) % 16 + 16 * op));
        std::vector<uint8_t> file = Read(texts[i]);
        bytes.insert(bytes.end(), file.begin(), file.end());
        Put("datafile", Base(texts[i]), bytes);
    }

    // An archive of small game files, packed by the engine's writer.
    std::vector<JfPackInput> packed;
    std::vector<std::string> small;
    Find(game + "/dialogs", {".dlg"}, &small);
    Find(game, {"z1.ini"}, &small);
    for (const std::string& path : small) {
        JfPackInput in;
        in.name = path.substr(game.size() + 1);
        for (char& c : in.name)
            if (c == '/') c = '\\';
        in.data = Read(path);
        packed.push_back(in);
    }
    std::string error;
    std::string archive = g_out + "/textures.jf";
    if (JfWriteArchive(archive.c_str(), packed, &error)) {
        Put("archive", "game.jf", Read(archive));
        std::remove(archive.c_str());
    }

    Put("anm", "figure.anm", FigureAnimation(6));
    std::string extra;
    int ms = 500;
    for (const std::string& name : fuzz::ShowcaseMaterialNames()) {
        extra += "*MATERIAL \"" + name + "\"\n{\n\t*MATERIAL_U_ANIMATION " + std::to_string(ms) + "\n";
        if (ms % 1000) extra += "\t{ *MATERIAL_V_ANIMATION " + std::to_string(ms * 3) + " }\n";
        extra += "}\n";
        ms += 250;
    }
    extra += "*MATERIAL \"nothing\" { }\n";
    PutText("extra", "showcase.ex", extra);
    PutText("replay", "walk.replay",
            "# walk, look, click, answer\n10 key down 200\n35 key up 200\n40 mouse move 25 -3\n"
            "41 mouse move 0 0 120\n50 mouse button 0 down\n51 mouse button 0 up\n60 key down 1\n"
            "60 key up 1\nanswer yes\nanswer no\nanswer field Name = gate\nanswer ok\nanswer cancel\n"
            "answer file area\\village.z1a\n");
    std::printf("fuzz_seeds: %d seeds in %s\n", g_written, g_out.c_str());
    return g_written > 0 ? 0 : 1;
}
