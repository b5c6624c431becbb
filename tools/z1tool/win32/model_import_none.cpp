// The Windows z1tool has no model importer: Debian ships assimp for Linux only.
#include "model_import.h"

bool ImportModel(const std::string&, const std::string&, ImportReport&, std::string* error,
                 const ImportOptions&) {
    if (error) *error = "this z1tool was built without assimp: use the Linux z1tool to import models";
    return false;
}
