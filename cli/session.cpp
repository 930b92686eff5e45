// What every command shares: error lines, reading sources, document paths.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cli.h"

namespace kelpin::cli {

void PrintError(const std::string& message) {
    std::fprintf(stderr, "kelpin: %s\n", message.c_str());
}

bool ReadSourceText(const std::string& path, SourceText* text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        PrintError(path + ": " + std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        PrintError(path + ": is a directory");
        return false;
    }
    // One buffer of the file's size, filled by read() without being cleared
    // first; a file that grows meanwhile is read on to its end.
    std::size_t capacity = static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 1;
    std::unique_ptr<char[]> bytes(new char[capacity]);
    std::size_t size = 0;
    for (;;) {
        char probe[4096];
        bool full = size + 1 == capacity;
        ssize_t n = full ? ::read(fd, probe, sizeof probe)
                         : ::read(fd, bytes.get() + size, capacity - 1 - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            PrintError(path + ": " + std::strerror(errno));
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        if (full) {
            capacity = std::max(capacity * 2, size + static_cast<std::size_t>(n) + 1);
            std::unique_ptr<char[]> larger(new char[capacity]);
            std::memcpy(larger.get(), bytes.get(), size);
            std::memcpy(larger.get() + size, probe, static_cast<std::size_t>(n));
            bytes = std::move(larger);
        }
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes[size] = '\0';
    text->bytes = std::move(bytes);
    text->size = size;
    return true;
}

bool ReadSourceFile(const std::string& path, std::string* text) {
    SourceText source;
    if (!ReadSourceText(path, &source)) return false;
    text->assign(source.bytes.get(), source.size);
    return true;
}

std::string DocumentPath(const std::string& file) {
    std::error_code error;
    std::string path = std::filesystem::absolute(file, error).string();
    if (error) path = file;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

} // namespace kelpin::cli
