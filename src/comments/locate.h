// The block search, written once for any editor: the host's, worked through
// its messages (the dialogs), or a text with a selection (the CLI).
//
// An editor offers these operations, each answering as a source editor of
// the host does (host/editor_text.h):
//   void MoveCaret(std::int32_t position, unsigned flags);   MoveCaretLine, MoveCaretScroll
//   std::int32_t Find(unsigned flags, const char* text);      from the selection; -1: none
//   void Select(std::int32_t start, std::int32_t end);
//   std::intptr_t SelectedText(std::size_t size, std::string* text);
//   std::int32_t LineIndex(std::int32_t line);                -1 past the last line
//   std::int32_t TextLength();
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#include "comments/comments.h"

namespace kelpin {

template <typename E>
concept BlockEditor = requires(E& editor, std::string* text) {
    editor.MoveCaret(std::int32_t{}, 0u);
    { editor.Find(0u, "") } -> std::same_as<std::int32_t>;
    editor.Select(std::int32_t{}, std::int32_t{});
    { editor.SelectedText(std::size_t{}, text) } -> std::same_as<std::intptr_t>;
    { editor.LineIndex(std::int32_t{}) } -> std::same_as<std::int32_t>;
    { editor.TextLength() } -> std::same_as<std::int32_t>;
};

// The block belongs to name when the rest of its name line, all whitespace
// taken out, is exactly a colon and the name (whitespace taken out too).
bool BlockNameMatches(std::string_view block, const char* label, const char* name);

// The search itself; see LocateCommentBlock.
template <BlockEditor Editor>
std::int32_t LocateBlock(Editor& editor, const char* label, const char* name, std::int32_t position,
                         unsigned flags, std::string* blockText) {
    blockText->clear();
    bool module = (flags & LocateModule) != 0;
    editor.MoveCaret(position, MoveCaretScroll | ((flags & LocateByLine) ? MoveCaretLine : 0u));

    std::int32_t endMarker = editor.Find(
        module ? (HostFindMatchCase | HostFindDown) : HostFindMatchCase, BlockEndMarker);
    if (endMarker < 0) return -1;
    std::int32_t afterMarker = endMarker + static_cast<std::int32_t>(BlockMarkerLength);
    if (module) editor.MoveCaret(afterMarker, MoveCaretScroll);

    std::int32_t start = editor.Find(HostFindMatchCase, BlockStartMarker);
    // A start marker below the end marker belongs to a block whose end was
    // deleted by hand: there is no block to take.
    if (start < 0 || start > endMarker) return -1;

    // The block takes the line break after its end marker (a line feed, or a
    // carriage return and line feed) and nothing else: what a hand edit put
    // right after the marker is not part of the block and must survive OK.
    // The text is read with the smallest multiple of 4096 bytes that holds
    // the selection and 3 more.
    editor.Select(start, afterMarker + 2);
    std::size_t size = (static_cast<std::size_t>(afterMarker + 2 - start) + 4098) &
                       ~static_cast<std::size_t>(4095);
    std::string text;
    if (editor.SelectedText(size, &text) == 0) text.clear();
    std::size_t end = static_cast<std::size_t>(afterMarker - start);
    if (text.size() < end) return -1; // a NUL inside: not a block this reader can take
    if (text.compare(end, 1, "\n") == 0)
        end += 1;
    else if (text.compare(end, 2, "\r\n") == 0)
        end += 2;
    text.resize(end);
    editor.Select(start, start + static_cast<std::int32_t>(end));

    if (!BlockNameMatches(text, label, name)) return -1;
    *blockText = std::move(text);
    return start;
}

// Whether the 0-based line starts, blanks and tabs aside, with the opening
// brace: then the header stands on the line above.
template <BlockEditor Editor> bool BraceStandsAlone(Editor& editor, std::int32_t line) {
    std::int32_t start = editor.LineIndex(line);
    if (start < 0) return false;
    std::int32_t end = editor.LineIndex(line + 1);
    if (end < start) end = editor.TextLength();
    if (end <= start) return false;
    editor.Select(start, end);
    std::string text;
    if (editor.SelectedText(static_cast<std::size_t>(end - start) + 1, &text) == 0) return false;
    std::size_t first = text.find_first_not_of(" \t");
    return first != std::string::npos && text[first] == '{';
}

// The 0-based line where a function's block is looked for (upward from its
// start) and inserted: the header's line when the brace stands alone below
// it, else the brace's own line, which then is the header's last line. A
// block inserted in front of the line above such a header would land inside
// a comment ending there, or inside the previous function.
template <BlockEditor Editor>
std::int32_t FunctionBlockLine(Editor& editor, std::int32_t startLine) {
    if (startLine <= 0) return 0;
    return BraceStandsAlone(editor, startLine) ? startLine - 1 : startLine;
}

} // namespace kelpin
