#include "block_text.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "comments/comments.h"
#include "host/editor_text.h"

namespace kelpin::cli {

std::string DocumentPath(const std::string& file) {
    std::error_code error;
    std::string path = std::filesystem::absolute(file, error).string();
    if (error) path = file;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string ToControlText(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::string FromControlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

bool EndsLinesWithCrlf(std::string_view text) {
    std::size_t crlf = 0, bare = 0;
    for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1))
        ++(i > 0 && text[i - 1] == '\r' ? crlf : bare);
    return crlf > bare;
}

std::int32_t CaretLineOf(const std::string& text, int line) {
    std::int32_t at = LineIndexOf(text, line - 1);
    if (at < 0) at = static_cast<std::int32_t>(text.size());
    return LineOfPosition(text, at) + 1;
}

std::string AsRead(std::string text) {
    if (text.size() > FieldBufferSize - 1) text.resize(FieldBufferSize - 1);
    return text;
}

std::string BlockDateNow() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch != nullptr && *epoch != '\0') {
        char* end = nullptr;
        long long seconds = std::strtoll(epoch, &end, 10);
        std::time_t t = static_cast<std::time_t>(seconds);
        std::tm now{};
        if (*end == '\0' && ::localtime_r(&t, &now)) return FormatBlockDate(now);
    }
    return FormatBlockDate();
}

} // namespace kelpin::cli
