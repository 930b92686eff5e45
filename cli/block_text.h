// How the CLI and the language server turn a file's text into the add-in's
// view of it and back, for the comment blocks they both write: line ends as
// an edit control holds them, the caret a line puts the editor at, a field as
// the dialog reads it back, and the dates a new block records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelpin::cli {

// "\n" as an edit control holds it: every line feed not already after a
// carriage return becomes "\r\n".
std::string ToControlText(const std::string& text);
// And back: "\r\n" becomes "\n".
std::string FromControlText(const std::string& text);

// Whether most of a text's line feeds come after a carriage return: the line
// ending written into it or beside it.
bool EndsLinesWithCrlf(std::string_view text);

// The caret's 1-based line when the editor puts it at the start of line N:
// past the end of the text it stands at the end, on the last line.
std::int32_t CaretLineOf(const std::string& text, int line);

// FILE's absolute path with "/" turned into "\" (the document path the Host
// IDE would give).
std::string DocumentPath(const std::string& file);

// A field as the dialog's OK reads it back from its box: 4094 characters at
// most.
std::string AsRead(std::string text);

// The dates of a new block: SOURCE_DATE_EPOCH, as local time, when it is set
// and valid, else the clock.
std::string BlockDateNow();

} // namespace kelpin::cli
