// The character classes of C text, byte by byte, as every part of the add-in
// uses them: a byte of 0x80 or above is in none.
#pragma once

namespace kelpin {

// Blank, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The ASCII letters, the digits and "_".
constexpr bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_';
}

} // namespace kelpin
