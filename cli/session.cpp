// What every command shares: error lines, reading sources, the headless host.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "addin/addin.h"
#include "cli.h"
#include "platform/headless/headless.h"

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

namespace {

// SOURCE_DATE_EPOCH, as local time, when it is set and valid.
void UseSourceDateEpoch() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch == nullptr || *epoch == '\0') return;
    char* end = nullptr;
    long long seconds = std::strtoll(epoch, &end, 10);
    if (*end != '\0') return;
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm now{};
    if (::localtime_r(&t, &now)) headless::SetClock(now);
}

std::string RegistryFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    std::error_code ignored;
    std::filesystem::create_directories(base + "/kelpin", ignored);
    return base + "/kelpin/registry";
}

} // namespace

HostWindow StartSession() {
    headless::Reset();
    headless::EchoMessageBoxes(true);
    UseSourceDateEpoch();
    if (std::string file = RegistryFile(); !file.empty()) headless::UseRegistryFile(file);
    ResetAddInState();
    AttachProcess(1);
    HostWindow main = headless::Host().AddMainWindow();
    AddInMain(main, HostEventLoad);
    headless::Host().Main(main)->output.clear();
    return main;
}

HostWindow OpenEditor(HostWindow main, const std::string& text, const std::string& path,
                      int caretLine) {
    HostWindow editor = headless::Host().AddEditor(text, path);
    headless::Host().Main(main)->activeEditor = editor;
    if (caretLine > 0) {
        std::int32_t at = headless::LineIndexOf(text, caretLine - 1);
        if (at < 0) at = static_cast<std::int32_t>(text.size());
        headless::Host().Editor(editor)->selection = {at, at};
    }
    return editor;
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
