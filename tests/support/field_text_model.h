// What a field's text should read back as after a trip through a comment
// block: the model the read-back tests and the fuzz target both check against.
#pragma once

#include <string>
#include <string_view>

namespace kelpin::testing {

// The text the writer stores: every "*/" becomes "* /".
inline std::string Defused(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '*' && i + 1 < text.size() && text[i + 1] == '/') out += ' ';
    }
    return out;
}

// Trailing blanks and line breaks vanish.
inline std::string Trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return std::string(text);
}

// Takes out the line breaks that the documented cases may join or add: those
// right after a blank (a user's break there may join) and right after a tab,
// vertical tab or form feed (a writer's break there shows as a line break).
inline std::string WithoutSoftBreaks(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool soft =
            !out.empty() && std::string_view(" \t\v\f").find(out.back()) != std::string_view::npos;
        if (soft && text.substr(i, 2) == "\r\n") {
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace kelpin::testing
