// The add-in's own texts for the language server: comment blocks written as
// "kelpin comment" writes them, what hover shows of a function, and the
// prototypes header.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "block_text.h"

namespace kelpin::lsp {

// Bytes [start, end) of a text replaced by text.
struct TextChange {
    std::size_t start = 0;
    std::size_t end = 0;
    std::string text;
};

struct CommentAction {
    bool available = false;
    bool function = false; // else the module's block
    bool update = false;   // a block is there already
    std::string title;     // "Add function comment", ...
    TextChange change;
};

// The block of the function whose body holds the 1-based line, or, outside
// every function, the module's block of the file at path: exactly what
// "kelpin comment function FILE --line N" (or "comment module FILE") writes
// with no field given, the fields of a block already there kept and its
// Procedure (Module) and Modified lines made new. now is the date of the
// block. Nothing on an empty text.
CommentAction CommentActionAt(const std::string& text, const std::string& path, int line,
                              std::string_view now);

// The date a block written now carries (block_text.h).
using cli::BlockDateNow;

// The header of prototypes for the source file at path: the include guard
// named after its file name (every character that cannot stand in a C
// identifier made "_"), one declaration per function of the precise scan;
// lines end as most of the text's lines do.
std::string PrototypesHeader(std::string_view text, const std::string& path);

// Markdown for hover on a function defined in text whose name stands on the
// 0-based line: its declaration, and its comment block's fields where it
// has one. Empty when no such function is there.
std::string DescribeFunction(const std::string& text, std::string_view name, std::size_t line);

} // namespace kelpin::lsp
