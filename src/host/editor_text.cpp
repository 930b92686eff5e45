#include "host/editor_text.h"

#include <algorithm>

#include "host/host.h"

namespace kelpin {

namespace {

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchesAt(std::string_view text, std::string_view needle, std::size_t at, bool matchCase) {
    for (std::size_t i = 0; i < needle.size(); ++i) {
        char a = text[at + i], b = needle[i];
        if (matchCase ? a != b : Fold(a) != Fold(b)) return false;
    }
    return true;
}

} // namespace

std::int32_t ClampToText(std::int32_t position, std::string_view text) {
    return std::clamp<std::int32_t>(position, 0, static_cast<std::int32_t>(text.size()));
}

std::int32_t LineIndexOf(std::string_view text, std::int32_t line) {
    if (line < 0) return -1;
    std::int32_t current = 0;
    for (std::size_t i = 0; i < text.size() && current < line; ++i)
        if (text[i] == '\n' && ++current == line) return static_cast<std::int32_t>(i + 1);
    return current == line ? 0 : -1;
}

std::int32_t LineOfPosition(std::string_view text, std::int32_t position) {
    std::size_t end = static_cast<std::size_t>(ClampToText(position, text));
    return static_cast<std::int32_t>(std::count(text.begin(), text.begin() + end, '\n'));
}

std::int32_t FindInText(std::string_view text, std::string_view needle, std::int32_t from,
                        unsigned flags) {
    if (needle.empty() || needle.size() > text.size()) return -1;
    bool matchCase = (flags & HostFindMatchCase) != 0;
    std::size_t last = text.size() - needle.size();
    std::size_t origin = static_cast<std::size_t>(ClampToText(from, text));
    if (flags & HostFindDown) {
        for (std::size_t at = origin; at <= last; ++at)
            if (MatchesAt(text, needle, at, matchCase)) return static_cast<std::int32_t>(at);
        return -1;
    }
    if (origin < needle.size()) return -1;
    for (std::size_t at = std::min(last, origin - needle.size()) + 1; at-- > 0;)
        if (MatchesAt(text, needle, at, matchCase)) return static_cast<std::int32_t>(at);
    return -1;
}

} // namespace kelpin
