// JSON text: the one way every JSON output of the CLI and the language server
// writes text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelpin::cli {

// How a string's bytes become characters.
enum class JsonBytes {
    // UTF-8 where the bytes are valid UTF-8; each byte of an invalid
    // sequence is the character of the same code point (U+0080 to U+00FF),
    // so that any input still gives valid JSON. The CLI's own view of text.
    Utf8,
    // Every byte the character of the same code point (Latin-1), as the
    // add-in reads text: single bytes throughout.
    Latin1,
    // UTF-8 where valid; each byte that starts no valid sequence is U+FFFD,
    // as the library's replacing dump writes it. What the language server
    // sends, to clients that read strict UTF-8.
    Utf8Replacing,
};

// Appends bytes as a JSON string, exactly as nlohmann::json would dump the
// same characters. The library's own escaper is not used because it rejects
// invalid UTF-8 instead of carrying it, and costs as much as the scan on a
// listing of thousands of declarations.
void AppendJsonString(std::string* out, std::string_view bytes, JsonBytes mode = JsonBytes::Utf8);

// Appends a number.
void AppendJsonNumber(std::string* out, std::size_t n);

// The length of the valid UTF-8 sequence at the start of bytes (which holds
// at least one byte from 0x80 up), or 0 when it is not one: no overlong
// forms, no surrogates, nothing past U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view bytes);

} // namespace kelpin::cli
