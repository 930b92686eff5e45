#include "output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "seam/platform.h"

namespace kelpin::cli {

namespace {

// The first failure to write standard output: the run goes on (other files
// may still be written), and its status says so at the end.
int standardOutputError = 0;

} // namespace

void WriteStandardOutput(std::string_view bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() &&
        standardOutputError == 0)
        standardOutputError = errno != 0 ? errno : EIO;
}

bool FinishStandardOutput() {
    errno = 0;
    if (std::fflush(stdout) != 0 && standardOutputError == 0)
        standardOutputError = errno != 0 ? errno : EIO;
    if (standardOutputError == 0 && std::ferror(stdout)) standardOutputError = EIO;
    if (standardOutputError == 0) return true;
    PrintError(std::string("standard output: ") + std::strerror(standardOutputError));
    return false;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

std::string WriteTarget(const std::string& path) {
    // Link by link, so that a link to a file not yet there names where it
    // will be; a loop ends after as many links as the system follows.
    std::string target = path;
    for (int links = 0; links < 40; ++links) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        std::string next(static_cast<std::size_t>(st.st_size) + 1, '\0');
        ssize_t length = ::readlink(target.c_str(), next.data(), next.size());
        if (length < 0 || static_cast<std::size_t>(length) >= next.size()) return target;
        next.resize(static_cast<std::size_t>(length));
        std::string::size_type slash = target.rfind('/');
        if (next.front() != '/' && slash != std::string::npos)
            next = target.substr(0, slash + 1) + next;
        target = std::move(next);
    }
    return target;
}

bool CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        if (SameFile(output, input)) {
            PrintError(output + ": is the input " + input +
                       "; not overwritten (choose another -o)");
            return false;
        }
    }
    return true;
}

bool CheckReplaceableTagsFile(const std::string& path) {
    if (IsReplaceableTagsFile(path)) return true;
    PrintError(path + ": does not look like a tags file; not replaced (remove it first, or "
                      "choose another -o)");
    return false;
}

bool IsReplaceableTagsFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return true;
    // Its first line is enough: every line of a tags file has the same form.
    char head[4096];
    std::size_t got = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    std::string_view first(head, got);
    first = first.substr(0, first.find('\n'));
    bool tags = first.starts_with("!_TAG_") || first.starts_with("\f") ||
                (first.find('\0') == std::string_view::npos &&
                 std::count(first.begin(), first.end(), '\t') >= 2 && first.front() != '\t');
    return tags;
}

bool ReplaceFile(const std::string& path, std::string_view text) {
    errno = 0;
    if (FileReplace(WriteTarget(path).c_str(), text)) return true;
    int error = errno != 0 ? errno : EIO;
    PrintError(path + ": cannot write: " + std::strerror(error) + "; it is left as it was");
    return false;
}

int WriteResult(const std::string& path, std::string_view text) {
    if (path.empty()) {
        WriteStandardOutput(text);
        return ExitOk;
    }
    return ReplaceFile(path, text) ? ExitOk : ExitInput;
}

bool CheckEditableText(const std::string& path, std::string_view text) {
    std::size_t nul = text.substr(0, 8192).find('\0');
    if (nul == std::string_view::npos) return true;
    PrintError(path + ": not a text file (a NUL byte at offset " + std::to_string(nul) +
               "); not edited");
    return false;
}

} // namespace kelpin::cli
