// Headless files: POSIX files, with injected write failures for the tests.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/headless/state.h"

namespace kelpin::headless {

namespace {

// The headless platform keeps Windows' read-only attribute: a file or folder
// without any write permission bit is read-only, for root too.
bool IsReadOnly(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 && (st.st_mode & 0222) == 0;
}

std::string DirectoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteFd(int fd, std::string_view contents) {
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TakeInjectedFailure() {
    if (S().failWrites <= 0) return false;
    --S().failWrites;
    return true;
}

} // namespace

void FailFileWrites(int count) {
    S().failWrites = count;
}

} // namespace kelpin::headless

namespace kelpin {

using namespace headless;

bool FileReadAll(const char* path, std::string* contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    struct stat st;
    if (::stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return false;
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad()) return false;
    *contents = std::move(out).str();
    return true;
}

bool FileIsWritable(const char* path) {
    struct stat st;
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode) || IsReadOnly(path)) return false;
    int fd = ::open(path, O_RDWR);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool FileCanCreate(const char* path) {
    struct stat st;
    if (::stat(path, &st) == 0) return FileIsWritable(path);
    if (errno != ENOENT) return false;
    std::string directory = DirectoryOf(path);
    return ::stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           !IsReadOnly(directory.c_str()) && ::access(directory.c_str(), W_OK | X_OK) == 0;
}

bool FileWriteAll(const char* path, std::string_view contents) {
    if (IsReadOnly(path) || IsReadOnly(DirectoryOf(path).c_str())) return false;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return false;
    bool ok = !TakeInjectedFailure() && WriteFd(fd, contents);
    return ::close(fd) == 0 && ok;
}

bool FileReplace(const char* path, std::string_view contents) {
    struct stat old;
    bool exists = ::stat(path, &old) == 0;
    if (exists && !FileIsWritable(path)) return false;
    std::string directory = DirectoryOf(path);
    if (IsReadOnly(directory.c_str())) return false;
    if (TakeInjectedFailure()) return false;
    std::string temp = std::string(path) + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    mode_t mode = 0666;
    if (exists) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteFd(fd, contents) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

} // namespace kelpin
