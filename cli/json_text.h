// JSON text: the one way every JSON output of the CLI writes text.
#pragma once

#include <string>
#include <string_view>

namespace kelpin::cli {

// Appends bytes as a JSON string, each byte the character of the same code
// point (Latin-1, U+0000 to U+00FF), so that any input gives valid JSON and a
// reader gets every byte back: a file's bytes in an 8-bit code page stay what
// they were, not a replacement character. The text is exactly what
// nlohmann::json would dump for the same characters.
//
// The library's own escaper checks every byte as UTF-8 on its way out; on a
// listing of thousands of declarations that costs as much as the scan
// itself, while bytes read as Latin-1 need no check at all.
void AppendJsonString(std::string* out, std::string_view bytes);

} // namespace kelpin::cli
