// The form `kelpin comment` opens in $VISUAL or $EDITOR: the four free-text
// fields of a comment block, each under a "[name]" line, after a few lines
// of "#" comments that say how to edit it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "block_text.h"

namespace kelpin::cli {

struct FormField {
    std::string name; // "synopsis", "author", ...
    std::string text; // as an edit control holds it: line breaks "\r\n"
};

// The form's text: the comment lines (each given without its "# "), then
// every field under its "[name]" line, line breaks as "\n".
std::string FormatCommentForm(const std::vector<std::string>& comments,
                              const std::vector<FormField>& fields);

enum class FormOutcome { Fields, Empty, Broken };
struct ParsedForm {
    FormOutcome outcome;
    std::vector<FormField> fields; // only those whose "[name]" line is there
    std::string error;             // for Broken
};
// Reads an edited form back. Lines starting with "#" before the first
// "[name]" line are comments; after it every line belongs to its field, so
// a field may hold "#include" lines. A form with nothing but comments and
// blank lines is Empty (the user cancels). Each field's trailing empty lines
// go; its line breaks become "\r\n". `names` lists the field names known.
ParsedForm ParseCommentForm(const std::string& form, const std::vector<std::string>& names);

// Writes the form to a temporary file, opens it in $VISUAL or $EDITOR (else
// vi) and reads it back. Besides the outcomes of ParseCommentForm, Broken
// when the editor failed or the form came back with a NUL byte (C text ends
// there, and so would the block). The error line says why, for Empty too.
ParsedForm EditCommentForm(const std::vector<std::string>& comments,
                           const std::vector<FormField>& fields,
                           const std::vector<std::string>& names);

} // namespace kelpin::cli
