// The clock and the current directory on POSIX.
#include <unistd.h>

#include "platforms/posix/posix.h"

namespace kelpin::posix {

bool LocalNow(std::tm* now) {
    std::time_t t = std::time(nullptr);
    return ::localtime_r(&t, now) != nullptr;
}

bool CurrentDirectory(std::string* directory) {
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return false;
    *directory = buffer;
    return true;
}

} // namespace kelpin::posix
