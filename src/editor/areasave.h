// Saving the edited area without ever damaging the file it replaces: the
// area is written to a temporary file beside the target, checked to hold
// every byte written, and only then renamed over the target. A failed save
// leaves the target as it was and says why.
#ifndef ZENDAR_EDITOR_AREASAVE_H
#define ZENDAR_EDITOR_AREASAVE_H

#include <string>

class Area;

// The temporary file a save of `path` writes first.
std::string AreaSaveTempPath(const std::string& path);

// Writes the area as a version-8 file to `path` (a file-system path, not a
// name under the area folder). False with a one-line reason in *error (the
// system's words, e.g. "Permission denied") when the target was not
// replaced; the temporary file is then gone too.
bool SaveAreaFile(Area& area, const std::string& path, std::string* error);

#endif
