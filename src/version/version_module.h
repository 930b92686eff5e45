// The version module: a generated C source file NAME.c holding a project's
// version numbers and a header NAME.h declaring them, where NAME is the module
// name the project supplies.
//
// The source file carries the numbers in its line 6 only; the build step reads
// them from there, increments them and writes the whole file anew. The header
// is written once. Both files are text: every line ends in CR LF on disk,
// whatever the platform, and a reader takes a bare LF alike.
//
// This part is text alone: what the files say and how their numbers are read
// and incremented. Reading and writing them is version/version.h's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelpin {

// Result codes of the version operations; each but 0 has its message.
enum : int {
    VersionOk = 0,
    VersionCannotCreate = 1, // a version file cannot be opened, created or written
    VersionBadFormat = 2,    // no valid version line as line 6
    VersionOverflow = 3,     // the numbers cannot be incremented any further
    VersionEndOfFile = 4,    // end of file before line 6 was complete
    VersionLineTooLong = 5,  // line 6 has 2048 characters or more
};

// Line 6 is read into a buffer of this size, its line feed included.
inline constexpr int VersionLineSize = 2048;
// File names are composed in 1024 bytes: the name, ".c" or ".h" and a NUL.
inline constexpr std::size_t VersionModuleNameMax = 1021;
// The valid ranges of the numbers.
inline constexpr std::int32_t VersionComponentMax = 99;
inline constexpr std::int32_t VersionBuildMax = 9999;

// The date and time the add-in itself was built, in the forms of __DATE__ and
// __TIME__. They go into the placeholder source file and the build step's last
// pane line. (The about line carries the add-in's own version module, built a
// few minutes later, hence a different time.)
extern const char AddInBuildDate[]; // "Sep 27 2005"
extern const char AddInBuildTime[]; // "16:54:26"

// The four components, most significant first, and the build number.
struct VersionNumbers {
    std::int32_t components[4];
    std::int32_t build;
};

// The message of a result code from 1 to 5; empty for any other.
const char* VersionErrorMessage(int code);

// Reads the numbers from line 6 of a source file's bytes, CR LF read as one
// LF: VersionOk, or the code of what is wrong. *numbers changes only on
// success.
int ReadVersionNumbers(std::string_view source, VersionNumbers* numbers);

// Increments the build number, carrying into the components: VersionOk, or
// VersionOverflow when 99.99.99.99 would be passed.
int IncrementVersion(VersionNumbers* numbers);

// How a module's two files are named and name each other: they are
// path.c and path.h, the source file's include line names "include.h", and
// the header's guard is __guard_h__.
struct VersionModuleNames {
    std::string path;
    std::string include;
    std::string guard;
};
// The add-in's: the module name as the project gives it, unchanged in all
// three, folders and all.
VersionModuleNames AddInModuleNames(std::string_view name);
// Files that compile wherever they stand, for a module given as DIR/NAME or
// DIR/NAME.c (or DIR/NAME.h): the files are DIR/NAME.c and DIR/NAME.h; the
// include line names NAME.h alone, which the compiler looks for beside the
// source file; the guard is NAME made an identifier (GuardIdentifier).
// Folders are separated by "/". include is empty when the argument names no
// file (it ends in "/", or is ".c" alone).
VersionModuleNames CompilableModuleNames(std::string_view argument);
// True when an include line can name the header as name.h: not empty, and
// no double quote, backslash or line break in it.
bool IsIncludableName(std::string_view name);
// name with every character that is not an ASCII letter, a digit or "_"
// turned into "_".
std::string GuardIdentifier(std::string_view name);

// The files' texts, lines ending in LF (DiskText makes them CR LF).
// The source file before its first build: 7 lines, numbers 00.00.00.00 and
// build 9999, so that the first build gives 00.00.00.01 with build 0001.
// include is the header's name in the include line, without ".h".
std::string PlaceholderSourceText(std::string_view include);
// The source file with its numbers: 13 lines.
std::string VersionSourceText(std::string_view include, const VersionNumbers& numbers);
// The header: 16 lines, guard between "__" and "_h__".
std::string VersionHeaderText(std::string_view guard);
// The bytes that go to disk: every line feed preceded by a carriage return.
std::string DiskText(std::string_view text);

// The version line's text, "Ver 00.00.00.01 - Build 0001".
std::string VersionText(const VersionNumbers& numbers);

} // namespace kelpin
