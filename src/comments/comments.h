// Comment blocks: the marked comment written in front of a function or at the
// top of a module, how an existing one is found and read back, and the two
// dialogs that write them (1003 for a function, 1004 for a module).
//
// A block is one C comment. Its first line starts with BlockStartMarker and
// its last line ends with BlockEndMarker; between them stand the name line,
// the two dates and four free-text fields, each after a 12-character label.
// The writer and the reader below must agree byte for byte.
//
// The dialogs work on the host's editor through its messages; the same
// search, reading and building serve a file's text directly (the CLI).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "host/editor.h"
#include "scanner/lookup.h"

namespace kelpin {

inline constexpr char BlockStartMarker[] = "/*-@@+@@";
inline constexpr char BlockEndMarker[] = "@@-@@-*/";
inline constexpr std::size_t BlockMarkerLength = 8;
inline constexpr char BlockHeaderLine[] =
    "/*-@@+@@--------------------------------[Do not edit manually]------------";
// The closing line without its final line feed, as the reader looks for it.
inline constexpr char BlockClosingLine[] =
    " ------------------------------------------------------------------@@-@@-*/";
inline constexpr std::size_t BlockLabelLength = 12;
inline constexpr std::size_t BlockDateLength = 24;
// Each wrapped line holds at most this many characters after its label.
inline constexpr std::size_t BlockWrapWidth = 64;
// An edit control's text is read with this buffer: 4094 characters at most.
inline constexpr int FieldBufferSize = 4095;

// The two kinds of block. Each has four free-text fields: Synopsys, Input,
// Output and Errors above a function; Author, Project, Status and Abstract
// at the top of a module.
enum class BlockKind { Function, Module };

// ---- Writing a block ----------------------------------------------------------

// The 24-character date of a block, "Wed Sep  7 16:54:26 2005", with English
// names whatever the C locale says.
std::string FormatBlockDate(const std::tm& time);
// The same for the local time now: one reading of the seam's clock.
std::string FormatBlockDate();

// Appends a free-text field (as an edit control holds it, line breaks as
// "\r\n") to block, broken into lines of at most 64 characters, each further
// line indented by 12 blanks under the first.
void WrapFieldText(std::string& block, std::string_view text);

// The whole block of a kind: its name, the Created date (empty for a new
// block, which then carries now as both dates), the Modified date now, and
// the four field texts in their order.
std::string BuildCommentBlock(BlockKind kind, std::string_view name, std::string_view created,
                              std::string_view now, const std::string_view (&texts)[4]);
// The same, dated by the clock.
std::string BuildFunctionBlock(std::string_view name, std::string_view created,
                               std::string_view synopsis, std::string_view input,
                               std::string_view output, std::string_view errors);
std::string BuildModuleBlock(std::string_view name, std::string_view created,
                             std::string_view author, std::string_view project,
                             std::string_view status, std::string_view abstract);

// ---- Finding a block ------------------------------------------------------------

// Flags of the block search: the position is a 0-based line; module mode
// (the end marker is searched downward, the start marker upward from it).
enum : unsigned { LocateByLine = 1, LocateModule = 4 };

// Looks in the active editor of the host's main window for the block of the
// named function ("Procedure") or module ("Module"), starting at position.
// Returns the position of its start marker, leaves the block selected and
// hands its text over in *blockText; or returns -1 with *blockText empty.
// Only host messages are used, so it works on whatever editor the host shows.
std::int32_t LocateCommentBlock(HostWindow main, const char* label, const char* name,
                                std::int32_t position, unsigned flags, std::string* blockText);
// The same search in a text, with *selection standing for the editor's
// selection, before and after, as an edit control would keep it.
std::int32_t LocateCommentBlockInText(std::string_view text, HostSelection* selection,
                                      const char* label, const char* name, std::int32_t position,
                                      unsigned flags, std::string* blockText);

// Where the block of a function or module stands in a text: the range an
// edited block replaces, or (found false, start = end) where a new one goes.
struct BlockSite {
    bool found;
    std::int32_t start;
    std::int32_t end;
    std::string block; // the block found, as it stands
};
// Above the function (as the lookup gives it), as dialog 1003 finds it.
BlockSite FindFunctionBlock(std::string_view text, const CurrentFunction& function);
// The same search from the start of the 0-based line, for a function whose
// definition starts there: the block above it, or an empty site at the line's
// start where a new one goes.
BlockSite FindFunctionBlockAt(std::string_view text, const char* name, std::int32_t line);
// At the top of the module of that file name, as dialog 1004 finds it.
BlockSite FindModuleBlock(std::string_view text, const char* moduleName);

// The module name a document path gives: the text after its last "\",
// unless the only "\" is its first character.
std::string ModuleNameOf(std::string_view documentPath);

// ---- Reading a block back -------------------------------------------------------

// One stored field of a block: the control it fills and its raw value, a
// piece of the block text.
struct StoredField {
    int control;
    std::string_view value;
};
// The fields found in a function or module block, in the order they fill
// their controls (Created, Modified, then the four texts). Missing labels
// are left out.
std::vector<StoredField> SplitFunctionBlock(std::string_view block);
std::vector<StoredField> SplitModuleBlock(std::string_view block);

// A stored value turned back into the text the user typed: the writer's
// breaks rejoined, the user's breaks as "\r\n", the indent dropped.
std::string StoredToFieldText(std::string_view value);

// A block's fields as its dialog shows them; a missing label leaves its
// field empty.
struct BlockFields {
    std::string created;
    std::string modified;
    std::string texts[4];
};
BlockFields ReadBlockFields(BlockKind kind, std::string_view block);

// ---- The dialogs --------------------------------------------------------------

// Command 5: dialog 1003 for the function at the caret; -1.
std::int32_t ShowFunctionCommentDialog(const AddInHost& host, const CurrentFunction& function);
// Command 9: dialog 1004 for the module of that file name; -1.
std::int32_t ShowModuleCommentDialog(const AddInHost& host, const char* moduleName);

} // namespace kelpin
