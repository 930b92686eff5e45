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

CLI::Validator NumberIn(int low, int high) {
    return CLI::Validator(
        [low, high](std::string& input) -> std::string {
            std::string bad = input + " is not a number from " + std::to_string(low) + " to " +
                              std::to_string(high);
            if (input.empty() || input.size() > 9 ||
                input.find_first_not_of("0123456789") != std::string::npos)
                return bad;
            int value = std::stoi(input);
            return value < low || value > high ? bad : std::string();
        },
        std::to_string(low) + ".." + std::to_string(high));
}

void PrintError(const std::string& message) {
    std::fprintf(stderr, "kelpin: %s\n", message.c_str());
}

int ReadFileBytes(const std::string& path, SourceText* file) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return error;
    }
    // One buffer of the file's size and a byte more, filled by read();
    // once it is full a small probe finds the end, and only a file that grew
    // meanwhile makes it larger.
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
            int error = errno;
            ::close(fd);
            return error;
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
    file->bytes = std::move(bytes);
    file->size = size;
    return 0;
}

bool ReadSourceText(const std::string& path, SourceText* text) {
    int error = ReadFileBytes(path, text);
    if (error == 0) return true;
    PrintError(path + ": " + (error == EISDIR ? "is a directory" : std::strerror(error)));
    return false;
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
