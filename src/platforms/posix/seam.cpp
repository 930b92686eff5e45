// The seam's writes, clock and current directory: the POSIX ones, as they
// are. With the files and locks of files.cpp, this is all of the seam the
// command-line tool calls.
#include "platforms/posix/posix.h"

namespace kelpin {

bool FileWriteAll(const char* path, std::string_view contents) {
    return posix::WriteAll(path, contents);
}

bool FileReplace(const char* path, std::string_view contents) {
    return posix::Replace(path, contents);
}

bool ClockLocalNow(std::tm* now) {
    return posix::LocalNow(now);
}

bool ProcessCurrentDirectory(std::string* directory) {
    return posix::CurrentDirectory(directory);
}

} // namespace kelpin
