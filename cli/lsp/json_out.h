// JSON written as text, for the large answers (a file's symbols): building
// them as nlohmann::json values costs more than the scan that finds them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelpin::lsp {

// Appends text as a JSON string: valid UTF-8 kept, every byte that starts no
// valid sequence written as U+FFFD, as the library's replacing dump does.
void AppendJsonUtf8(std::string* out, std::string_view text);

// Appends a number.
void AppendJsonNumber(std::string* out, std::size_t n);

} // namespace kelpin::lsp
