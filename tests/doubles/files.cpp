// The doubles' files, locks, clock and current directory: the real POSIX
// ones, with a fixed clock, a chosen current directory and injected write
// failures for the tests.
#include <cerrno>

#include "doubles/state.h"
#include "platforms/posix/posix.h"

namespace kelpin::headless {

void FailFileWrites(int count) {
    S().failWrites = count;
}

void SetClock(std::optional<std::tm> now) {
    S().clock = now;
}

void SetCurrentDirectory(std::optional<std::string> directory) {
    S().cwdOverridden = true;
    S().cwd = std::move(directory);
}

} // namespace kelpin::headless

namespace kelpin {

using headless::S;

bool FileReadAll(const char* path, std::string* contents) {
    return posix::ReadAll(path, contents);
}

bool FileIsWritable(const char* path) {
    return posix::IsWritable(path);
}

bool FileCanCreate(const char* path) {
    return posix::CanCreate(path);
}

// An injected failure stands for a full disk: the file is created (or
// truncated) as the open would, and nothing is written; ENOSPC is the reason.
bool FileWriteAll(const char* path, std::string_view contents) {
    if (S().failWrites <= 0) return posix::WriteAll(path, contents);
    if (!posix::WriteAll(path, {})) return false;
    --S().failWrites;
    errno = ENOSPC;
    return false;
}

// An injected failure leaves the old file as it was. A file that could not be
// replaced anyway fails for its own reason, and the injection waits.
bool FileReplace(const char* path, std::string_view contents) {
    if (S().failWrites <= 0 || !posix::CanCreate(path)) return posix::Replace(path, contents);
    --S().failWrites;
    errno = ENOSPC;
    return false;
}

FolderLock FileLockFolder(const char* path) {
    return posix::LockFolder(path);
}

void FileUnlockFolder(FolderLock lock) {
    posix::UnlockFolder(lock);
}

bool ClockLocalNow(std::tm* now) {
    if (!S().clock) return posix::LocalNow(now);
    *now = *S().clock;
    return true;
}

bool ProcessCurrentDirectory(std::string* directory) {
    if (!S().cwdOverridden) return posix::CurrentDirectory(directory);
    if (!S().cwd) return false;
    *directory = *S().cwd;
    return true;
}

} // namespace kelpin
