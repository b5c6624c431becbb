#include "editor/areasave.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "entities/modelaccess.h"
#include "entities/objectentity.h"
#include "utility/datafile.h"
#include "utility/log.h"
#include "world/area.h"
#include "world/areafile.h"
#include "world/entitykinds.h"

namespace fs = std::filesystem;

std::string AreaSaveTempPath(const std::string& path) { return path + ".part"; }

namespace {

bool Fail(const std::string& temp, const std::string& reason, std::string* error) {
    std::error_code ignored;
    fs::remove(fs::u8path(temp), ignored);
    *error = reason;
    return false;
}

}  // namespace

bool SaveAreaFile(Area& area, const std::string& path, std::string* error) {
    const std::string temp = AreaSaveTempPath(path);
    const fs::path folder = fs::u8path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        *error = "the folder " + folder.u8string() + " does not exist";
        return false;
    }
    // The system's reason when the file cannot be made at all (a read-only
    // folder): asked of the exact path, before the data layer tries others.
    errno = 0;
    if (FILE* probe = std::fopen(temp.c_str(), "wb")) {
        std::fclose(probe);
    } else {
        *error = errno ? std::strerror(errno) : "the file cannot be created";
        return false;
    }
    DataFile file;
    if (!file.Open(temp.c_str(), true)) return Fail(temp, "the file cannot be created", error);

    LogLine("Saving area to file '%s'", path.c_str());
    std::vector<std::string> names;
    for (Z1Model* m : area.models) names.push_back(ModelName(m));
    for (Entity* e : area.entities) {
        if (!IsModelEntityType(e->type)) continue;
        ObjectEntity* object = static_cast<ObjectEntity*>(e);
        object->modelIndex = object->model ? area.models.IndexOf(object->model) : -1;
    }
    WriteAreaFile(file, names, area.entities);
    // What the writes handed over; a full disk shows only when the file is
    // closed, as a file shorter than this.
    const long written = file.Tell();
    file.Close();
    const uintmax_t size = fs::file_size(fs::u8path(temp), ec);
    if (ec || written <= 0 || size != static_cast<uintmax_t>(written))
        return Fail(temp, "the file could not be written completely (is the disk full?)", error);
    fs::rename(fs::u8path(temp), fs::u8path(path), ec);
    if (ec) return Fail(temp, ec.message(), error);
    return true;
}
