// What every command shares: error lines, reading sources, the headless host.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "addin/addin.h"
#include "cli.h"
#include "platform/headless/headless.h"

namespace kelpin::cli {

void PrintError(const std::string& message) {
    std::fprintf(stderr, "kelpin: %s\n", message.c_str());
}

bool ReadSourceFile(const std::string& path, std::string* text) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        PrintError(path + ": " + std::strerror(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        PrintError(path + ": is a directory");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        PrintError(path + ": " + std::strerror(errno));
        return false;
    }
    // Read straight into a string of the file's size, so that a large file
    // is held once, not copied through a growing stream; a file that grows
    // meanwhile is read on to its end.
    text->assign(static_cast<std::size_t>(st.st_size), '\0');
    in.read(text->data(), static_cast<std::streamsize>(text->size()));
    text->resize(static_cast<std::size_t>(in.gcount()));
    if (!in.eof()) {
        std::ostringstream rest;
        rest << in.rdbuf();
        *text += std::move(rest).str();
    }
    if (in.bad()) {
        PrintError(path + ": read error");
        return false;
    }
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
