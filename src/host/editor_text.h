// How a source editor of the host answers for its text: the first position
// of a line, the line of a position and the text search, for a text held as
// bytes. The tests' host model answers with these, and the add-in's own
// work on a file's text (the CLI) goes through them too, so that both agree
// with each other and with what an edit control does.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelpin {

// Position of the first character of 0-based line, or -1 past the last line.
std::int32_t LineIndexOf(std::string_view text, std::int32_t line);
// 0-based line holding position (positions past the end are on the last line).
std::int32_t LineOfPosition(std::string_view text, std::int32_t position);
// HostMsgFindText: toward the end, the first match starting at or after
// `from`; toward the start, the last match ending at or before `from`. -1
// when there is none.
std::int32_t FindInText(std::string_view text, std::string_view needle, std::int32_t from,
                        unsigned flags);
// A position brought into the text: 0 to its length.
std::int32_t ClampToText(std::int32_t position, std::string_view text);

} // namespace kelpin
