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

int LoadVersionNumbers(const char* name, VersionNumbers* numbers, int* reason) {
    std::string source;
    if (!ReadVersionFile(name, VersionFile::Source, &source)) {
        if (reason != nullptr) *reason = errno;
        return VersionCannotCreate;
    }
    return ReadVersionNumbers(source, numbers);
}

int SaveVersionNumbers(const VersionModuleNames& module, const VersionNumbers& numbers,
                       int* reason) {
    const char* name = module.path.c_str();
    // Not in the middle of a build's read and rewrite, which would undo it.
    FolderLockScope lock(VersionFilePath(name, VersionFile::Source).c_str());
    if (WriteVersionFile(name, VersionFile::Source, VersionSourceText(module.include, numbers)))
        return VersionOk;
    if (reason != nullptr) *reason = errno;
    return VersionCannotCreate;
}

int SaveVersionNumbers(const char* name, const VersionNumbers& numbers) {
    return SaveVersionNumbers(AddInModuleNames(name), numbers);
}

} // namespace kelpin
