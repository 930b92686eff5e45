// Documents as the server holds them: bytes, the first byte of each line,
// and the editor's positions (line and character, in UTF-16 code units or in
// bytes, as agreed at initialize) turned into byte offsets and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelpin::lsp {

enum class Encoding { Utf16, Utf8 };

struct Position {
    std::int64_t line = 0;
    std::int64_t character = 0;
};

// Line feeds end lines; a carriage return before one belongs to the line.
struct LineIndex {
    std::vector<std::size_t> starts; // starts[0] == 0; one for each line
};
LineIndex IndexLines(std::string_view text);

// The byte offset of a position: a character past its line's end stands at
// that end (before its line break), a line past the last at the text's end;
// a position inside a character stands at its start.
std::size_t OffsetOf(std::string_view text, const LineIndex& lines, Position position,
                     Encoding encoding);
// The position of a byte offset (clamped to the text).
Position PositionOf(std::string_view text, const LineIndex& lines, std::size_t offset,
                    Encoding encoding);
// The width of bytes in the encoding's units: UTF-16 code units of the UTF-8
// characters in them (a byte that starts no valid character counts one).
std::size_t Units(std::string_view bytes, Encoding encoding);

// An open document: its text and the version the editor last gave it.
struct Document {
    std::string uri;
    std::string path; // the file it stands for; empty for a URI that is no file
    std::string text;
    std::int64_t version = 0;
    bool source = false; // C source or header: its functions count in the workspace
    LineIndex lines;
};

// Replaces the bytes between two positions with replacement, as an
// incremental didChange does, and keeps the line index.
void ApplyEdit(Document* document, Position start, Position end, std::string_view replacement,
               Encoding encoding);
void ReplaceText(Document* document, std::string text);

// The identifier (C letters, digits, "_") at or just before the offset;
// empty when none is there. *begin is where it starts.
std::string_view WordAt(std::string_view text, std::size_t offset, std::size_t* begin);

bool IsIdentifierByte(unsigned char c);

// file: URIs and paths. PathOfUri gives "" for a URI that is not a local
// file; %XX escapes are decoded.
std::string PathOfUri(std::string_view uri);
std::string UriOfPath(std::string_view path);

} // namespace kelpin::lsp
