// Comment blocks: the marked comment written in front of a function or at the
// top of a module, how an existing one is found and read back, and the two
// dialogs that write them (1003 for a function, 1004 for a module).
//
// A block is one C comment. Its first line starts with BlockStartMarker and
// its last line ends with BlockEndMarker; between them stand the name line,
// the two dates and four free-text fields, each after a 12-character label.
// The writer and the reader below must agree byte for byte.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

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

// The whole block of a function or a module. An empty created text means a
// new block: it then carries the same date as Modified (one clock reading).
std::string BuildFunctionBlock(std::string_view name, std::string_view created,
                               std::string_view synopsis, std::string_view input,
                               std::string_view output, std::string_view errors);
std::string BuildModuleBlock(std::string_view name, std::string_view created,
                             std::string_view author, std::string_view project,
                             std::string_view status, std::string_view abstract);

// ---- Finding and reading a block ------------------------------------------------

// Flags of LocateCommentBlock: the position is a 0-based line; module mode
// (the end marker is searched downward, the start marker upward from it).
enum : unsigned { LocateByLine = 1, LocateModule = 4 };

// Looks in the active editor for the block of the named function ("Procedure")
// or module ("Module"), starting at position. Returns the position of its
// start marker, leaves the block selected and hands its text over in
// *blockText; or returns -1 with *blockText empty. Only host messages are
// used, so it works on whatever editor the host shows.
std::int32_t LocateCommentBlock(const char* label, const char* name, std::int32_t position,
                                unsigned flags, std::string* blockText);

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

// Fill dialog 1003 or 1004 from a block's text, which they consume.
void ParseFunctionBlock(HostWindow dialog, std::string blockText);
void ParseModuleBlock(HostWindow dialog, std::string blockText);
// Converts one stored value and sets it as the text of control id.
void ShowFieldText(HostWindow dialog, std::string_view value, int id);

} // namespace kelpin
