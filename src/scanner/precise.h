// The precise scanner: a second reading of C source beside the add-in's, for
// listing whole trees. Where the add-in's scanner counts every brace it meets,
// this one reads the preprocessor's structure and the shape of a definition:
//
// - A directive (with its continued lines, and any comment or literal in it,
//   however many lines a comment spans) is never code: it changes no brace
//   depth and gives no name.
// - A group under "#if 0" (or "#elif 0") is skipped. In a chain of
//   #if/#ifdef/#ifndef, #elif and #else every other branch is scanned, each
//   from the state the chain began in, and at #endif the state after the
//   first scanned branch holds: a header written once per branch with one
//   shared body is one function, named after the first branch. A function
//   that opens in a later branch and is still open at the branch's end is
//   dropped; one that opens and closes within the branch is kept.
// - A name is a function when its parameter list is followed by a body:
//   directly, after attribute-like groups ("f(void) __acquires(x) {"), or
//   after old-style parameter declarations ("f(a) int a; {"). Keywords never
//   name a function; "= {" is an initialiser; a header that is only a macro
//   call ("NAME(args)") whose braces are followed by ";" is a table, not a
//   function; a macro call before a declaration ("ATTR(x) static int f(void)")
//   is not the name.
// - A string or character literal ends at its closing quote or at the end of
//   its line; comments and line splices ("\" at a line's end) are C's.
// - Braces of extern "C" { ... } do not count: what they hold is file level.
//
// The scanner is pure (standard library only) and reentrant: all of its state
// is on the caller's stack, in the vectors it fills and in one of its own that
// holds a copy of the state for each conditional open. One pass over the
// text, never moving back, with fixed-size state; conditionals nested deeper
// than PreciseMaxNesting are scanned straight through, every branch in turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelpin {

inline constexpr int PreciseMaxNesting = 32;

// A stretch of the scanned text.
struct PreciseSpan {
    std::size_t offset;
    std::size_t length;
};

// One function definition. Offsets are into the scanned text.
struct PreciseFunction {
    std::size_t nameOffset; // the function's name
    std::size_t nameLength;
    // The header, from the first token of the declaration to the end of the
    // parameter list and any attribute-like groups after it (old-style
    // parameter declarations not included): the text the scan read as the
    // header, in headerParts parts from PreciseScan::header[headerFirst] on;
    // directives and the branches of a conditional it did not take stand
    // between the parts.
    std::uint32_t headerFirst;
    std::uint32_t headerParts;
    std::int32_t first; // 1-based line of the declaration's first token
    std::int32_t start; // 1-based line of the name
    std::int32_t end;   // 1-based line of the body's closing brace; 0: it never closes
};

struct PreciseScan {
    std::vector<PreciseFunction> functions; // in text order
    std::vector<PreciseSpan> header;        // the functions' header parts
};

// Scans text: every function defined in it, in text order. Line feeds end
// lines; a carriage return is a blank, so CRLF text gives the same lines as
// LF text. Every byte is read, a zero byte included.
void ScanPrecise(std::string_view text, PreciseScan* scan);

inline std::string_view PreciseName(std::string_view text, const PreciseFunction& f) {
    return text.substr(f.nameOffset, f.nameLength);
}

// The header as one line: comments dropped, every run of blanks and line
// ends one space, its parts joined by a space.
std::string PreciseDeclaration(std::string_view text, const PreciseScan& scan,
                               const PreciseFunction& f);

} // namespace kelpin
