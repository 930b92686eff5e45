// The doubles' writes, clock and current directory: the POSIX platform's,
// with injected write failures, a fixed clock and a chosen current directory
// for the tests. The files and locks are the POSIX platform's as they are.
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
    if (S().failWrites <= 0 || !FileCanCreate(path)) return posix::Replace(path, contents);
    --S().failWrites;
    errno = ENOSPC;
    return false;
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
