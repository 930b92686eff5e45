// Reading and writing the version module's files through the seam.
#include <cerrno>
#include <cstring>

#include "version/version.h"

namespace kelpin {

namespace {

bool NameFits(const char* name) {
    if (std::strlen(name) <= VersionModuleNameMax) return true;
    errno = ENAMETOOLONG;
    return false;
}

} // namespace

std::string VersionFilePath(const char* name, VersionFile file) {
    return std::string(name) + (file == VersionFile::Source ? ".c" : ".h");
}

bool ReadVersionFile(const char* name, VersionFile file, std::string* text) {
    if (!NameFits(name)) return false;
    std::string path = VersionFilePath(name, file);
    return FileIsWritable(path.c_str()) && FileReadAll(path.c_str(), text);
}

bool CanWriteVersionFile(const char* name, VersionFile file) {
    // A file that could not be written is refused before anything is written
    // or announced: an existing one that may not be written, a folder or
    // anything else that is no file, a missing one in a folder that takes no
    // new files.
    return NameFits(name) && FileCanCreate(VersionFilePath(name, file).c_str());
}

bool WriteVersionFile(const char* name, VersionFile file, std::string_view text) {
    // The old file is replaced in one step, so a failed write never leaves a
    // truncated version file behind.
    return CanWriteVersionFile(name, file) &&
           FileReplace(VersionFilePath(name, file).c_str(), DiskText(text));
}

} // namespace kelpin
