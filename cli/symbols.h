// Symbols of every kind, as kelpin symbols lists them and kelpin tags writes
// them.
#pragma once

#include <string>
#include <string_view>

namespace kelpin::cli {

// The kinds a listing or a tags file gives unless told otherwise: all but
// prototypes (p) and extern declarations (x).
inline constexpr const char* DefaultSymbolKinds = "defgmstuv";

// Whether a kind letter is among those.
inline bool IsDefaultKind(char kind) {
    return kind != '\0' &&
           std::string_view(DefaultSymbolKinds).find(kind) != std::string_view::npos;
}

// --kinds as given: LETTERS replaces the default, "+LETTERS" and
// "-LETTERS" add to it and take from it ("+px", "-m"). False, with the error
// line, for a letter that is no kind.
bool ParseSymbolKinds(const std::string& option, std::string* kinds);

} // namespace kelpin::cli
