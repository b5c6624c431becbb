// z1tool commands for the foundation formats: the settings file, the
// joined-file archive and the name table's hash.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "settings/settings.h"
#include "utility/datafile.h"
#include "utility/fileio.h"
#include "utility/jf.h"
#include "utility/stringhashtable.h"

namespace {

// Shortest decimal text that reads back as the same float.
std::string FloatText(float v) {
    if (std::isnan(v)) return "null";
    if (std::isinf(v)) return v > 0 ? "1e999" : "-1e999";
    char buffer[64];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, static_cast<double>(v));
        if (std::strtof(buffer, nullptr) == v) break;
    }
    // Whole numbers read better without an exponent (60, not 6e+01).
    if (std::strchr(buffer, 'e') && std::fabs(v) < 1e15f && std::floor(v) == v)
        std::snprintf(buffer, sizeof buffer, "%.0f", static_cast<double>(v));
    return buffer;
}

// JSON string literal. Valid UTF-8 passes through; any other byte is taken as
// Latin-1 so that the output is always valid JSON.
std::string JsonString(const char* s) {
    std::string out = "\"";
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s ? s : "");
    while (*p) {
        unsigned char c = *p;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++p;
        } else if (c < 0x20 || c == 0x7f) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
            ++p;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++p;
        } else {
            int extra = (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : -1;
            bool valid = extra > 0 && c >= 0xc2 && c <= 0xf4;
            for (int i = 1; valid && i <= extra; ++i)
                if ((p[i] & 0xc0) != 0x80) valid = false;
            if (valid) {
                out.append(reinterpret_cast<const char*>(p), extra + 1);
                p += extra + 1;
            } else {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
                ++p;
            }
        }
    }
    return out + "\"";
}

const char* Bool(uint8_t b) { return b ? "true" : "false"; }

int RunIni(const std::vector<std::string>& args) {
    if (args.size() != 1) return z1tool::Usage("ini");
    const std::string& path = args[0];
    std::string bytes;
    if (!z1tool::ReadInput(path, &bytes) || !z1tool::CheckText(path, bytes)) return z1tool::kFailed;
    // The engine passes over every word that is not a key; a file with no
    // key at all is not a settings file.
    DataFile words;
    bool key = false;
    if (words.Open(path.c_str()))
        while (char* token = words.ReadToken()) {
            key = key || token[0] == '*';
            delete[] token;
        }
    if (!key) return z1tool::FailFile(path, "holds no settings key (a word starting with '*')");
    DataFile file;
    if (!file.Open(path.c_str())) return z1tool::FailFile(path, "cannot be opened");
    Settings s;
    s.Parse(file);
    std::printf(
        "{\"inverted_mouse\": %s, \"mouse_speed_x\": %d, \"mouse_speed_y\": %d, \"back_plane\": %d, "
        "\"dungeon_back_plane\": %d, \"player_fov\": %s, \"texture_bit\": %d, \"renderer\": %d, "
        "\"light_glows\": %s, \"show_interface\": %s, \"blinding_lights\": %s, \"fog\": %s, \"clock\": %s, "
        "\"light_update\": %d, \"script\": %s, \"write_log\": %s, \"fov_radians\": %s}\n",
        Bool(s.inverted_mouse), s.mouse_speed_x, s.mouse_speed_y, s.back_plane, s.dungeon_back_plane,
        FloatText(s.player_fov).c_str(), s.texture_bit, s.renderer, Bool(s.light_glows),
        Bool(s.show_interface), Bool(s.blinding_lights), Bool(s.fog), Bool(s.clock), s.light_update,
        JsonString(s.script.c_str()).c_str(), Bool(s.write_log), FloatText(s.fovRadians).c_str());
    return z1tool::kOk;
}

int RunPack(const std::vector<std::string>& args) {
    if (args.size() < 2) return z1tool::Usage("jf pack");
    std::vector<JfPackInput> files;
    for (size_t i = 1; i < args.size(); ++i) {
        JfPackInput in;
        in.name = args[i];
        for (char& c : in.name)
            if (c == '/') c = '\\';
        if (in.name.empty() || in.name.size() > 254)
            return z1tool::Fail("entry name '" + args[i] + "' must have 1 to 254 characters");
        // Any bytes pack, an empty file too: only a file that cannot be read
        // stops the archive.
        std::string bytes;
        if (!z1tool::ReadInput(args[i], &bytes)) return z1tool::kFailed;
        in.data.assign(bytes.begin(), bytes.end());
        files.push_back(std::move(in));
    }
    std::string error;
    if (!JfWriteArchive(args[0].c_str(), files, &error)) return z1tool::Fail(error);
    return z1tool::kOk;
}

// Loads the archive's directory after checking that it is one.
bool LoadArchive(const std::string& path, std::string* error) {
    if (!z1tool::CheckInput(path)) return false;
    FILE* f = OpenFile(path.c_str(), "rb");
    if (!f) {
        *error = path + ": cannot be opened";
        return false;
    }
    unsigned char header[8];
    size_t n = std::fread(header, 1, 8, f);
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    if (n != 8 || std::memcmp(header, "KVJF", 4) != 0) {
        *error = path + ": is not a joined-file archive (no KVJF header)";
        return false;
    }
    uint32_t directory =
        header[4] | (header[5] << 8) | (header[6] << 16) | (static_cast<uint32_t>(header[7]) << 24);
    if (directory < 8 || directory > static_cast<uint32_t>(size)) {
        *error = path + ": directory offset " + std::to_string(directory) + " lies outside the file";
        return false;
    }
    JfInitialize(path.c_str());
    return true;
}

long ArchiveSize(const std::string& path) {
    FILE* f = OpenFile(path.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    return size;
}

int RunList(const std::vector<std::string>& args) {
    if (args.size() != 1) return z1tool::Usage("jf list");
    std::string error;
    if (!LoadArchive(args[0], &error)) return error.empty() ? z1tool::kFailed : z1tool::Fail(error);
    long size = ArchiveSize(args[0]);
    int bad = 0;
    for (const JfEntryInfo& e : JfDirectory()) {
        std::printf("%s\t%u\t%u\n", e.name.c_str(), e.offset, e.size);
        if (static_cast<uint64_t>(e.offset) + e.size > static_cast<uint64_t>(size)) ++bad;
    }
    if (bad)
        return z1tool::Fail(std::to_string(bad) + " entr" + (bad == 1 ? "y lies" : "ies lie") +
                            " beyond the end of '" + args[0] + "'");
    return z1tool::kOk;
}

int RunCat(const std::vector<std::string>& args) {
    if (args.size() != 2) return z1tool::Usage("jf cat");
    std::string error;
    // The engine opens packed files under the base path; here the archive is
    // named relative to the working directory.
    SetBasePath("");
    if (!LoadArchive(args[0], &error)) return error.empty() ? z1tool::kFailed : z1tool::Fail(error);
    uint32_t expected = 0;
    bool found = false;
    for (const JfEntryInfo& e : JfDirectory())
        if (JfNamesMatch(e.name.c_str(), args[1].c_str())) {
            expected = e.size;
            found = true;
            break;
        }
    if (!found) return z1tool::Fail("no entry '" + args[1] + "' in '" + args[0] + "'");
    FILE* f = JfOpen(args[1].c_str(), "rb");
    if (!f) return z1tool::Fail("cannot open entry '" + args[1] + "'");
    char buffer[65536];
    uint64_t total = 0;
    long n;
    while ((n = JfRead(buffer, 1, sizeof buffer, f)) > 0) {
        std::fwrite(buffer, 1, static_cast<size_t>(n), stdout);
        total += static_cast<uint64_t>(n);
    }
    JfClose(f);
    std::fflush(stdout);
    if (total != expected)
        return z1tool::Fail("entry '" + args[1] + "' is cut short: " + std::to_string(total) + " of " +
                            std::to_string(expected) + " bytes");
    return z1tool::kOk;
}

int RunHash(const std::vector<std::string>& args) {
    if (args.size() != 1) return z1tool::Usage("hash");
    std::printf("%u\n", StringHashTable::Hash(args[0].c_str()));
    return z1tool::kOk;
}

}  // namespace

Z1TOOL_COMMAND("ini", "FILE", "parse a settings file as the engine does and print the record as JSON",
               RunIni);
Z1TOOL_COMMAND("jf pack", "OUT FILE...",
               "pack files into a joined-file archive (names as given, '/' stored as '\\')", RunPack);
Z1TOOL_COMMAND("jf list", "ARCHIVE", "list a joined-file archive: name, offset, size", RunList);
Z1TOOL_COMMAND("jf cat", "ARCHIVE NAME", "write one packed file to standard output", RunCat);
Z1TOOL_COMMAND("hash", "KEY", "print the name table's bucket index of KEY", RunHash);
