// The seam's files, locks, clock and current directory: the POSIX ones. The
// command-line tool needs nothing else of the seam.
#include "platforms/posix/posix.h"

namespace kelpin {

bool FileReadAll(const char* path, std::string* contents) {
    return posix::ReadAll(path, contents);
}

bool FileIsWritable(const char* path) {
    return posix::IsWritable(path);
}

bool FileCanCreate(const char* path) {
    return posix::CanCreate(path);
}

bool FileWriteAll(const char* path, std::string_view contents) {
    return posix::WriteAll(path, contents);
}

bool FileReplace(const char* path, std::string_view contents) {
    return posix::Replace(path, contents);
}

FolderLock FileLockFolder(const char* path) {
    return posix::LockFolder(path);
}

void FileUnlockFolder(FolderLock lock) {
    posix::UnlockFolder(lock);
}

bool ClockLocalNow(std::tm* now) {
    return posix::LocalNow(now);
}

bool ProcessCurrentDirectory(std::string* directory) {
    return posix::CurrentDirectory(directory);
}

} // namespace kelpin
