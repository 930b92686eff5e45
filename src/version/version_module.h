// The version module: a generated C source file NAME.c holding a project's
// version numbers and a header NAME.h declaring them, where NAME is the module
// name the project supplies.
//
// The source file carries the numbers in its line 6 only; the build step reads
// them from there, increments them and writes the whole file anew. The header
// is written once. Both files are text: every line ends in CR LF on disk,
// whatever the platform, and a reader takes a bare LF alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelpin {

// Result codes of the version operations; ShowVersionError has a message for
// each code but 0.
enum : int {
    VersionOk = 0,
    VersionCannotCreate = 1, // a version file cannot be opened, created or written
    VersionBadFormat = 2,    // no valid version line as line 6
    VersionOverflow = 3,     // the numbers cannot be incremented any further
    VersionEndOfFile = 4,    // end of file before line 6 was complete
    VersionLineTooLong = 5,  // line 6 has 2048 characters or more
};

// Options of CreateVersionFile and OpenVersionFile.
enum : unsigned {
    VersionFileSource = 1,      // NAME.c; without it NAME.h
    VersionFileKeepOpen = 2,    // CreateVersionFile hands the open stream back
    VersionFileCreate = 4,      // OpenVersionFile creates a missing file
    VersionFilePlaceholder = 8, // a new source file gets the placeholder lines
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

// An open version file.
//
// A file opened for reading is held whole in `data` and read one character at
// a time from `position`, CR LF giving one LF. A file opened for writing
// collects its text in `data` (lines ending in LF) and goes to disk whole when
// it is closed: the old file is replaced in one step, so a failed write never
// leaves a truncated version file behind.
struct VersionStream {
    std::string path;
    std::string data;
    std::size_t position = 0;
    bool writing = false;
    bool placeholder = false; // the text holds the placeholder lines
};

// The next character, a CR LF pair read as one LF; -1 at the end of the data.
int ReadVersionChar(VersionStream& stream);

// 1 after a line feed was consumed, 0 when the end of the file came first.
int SkipLine(VersionStream& stream);
// Reads one line into buffer (VersionLineSize bytes): its characters and its
// line feed, without a NUL. VersionOk for a line of 35 to 2047 characters,
// VersionBadFormat for a shorter one, VersionEndOfFile when the file ends
// before the line feed, VersionLineTooLong after 2048 characters.
int ReadVersionLine(VersionStream& stream, char* buffer);
// Reads the four components and the build number from line 6, starting at the
// stream's position. Components read before a failure may have been stored.
int ReadVersionNumbers(VersionStream& stream, std::int32_t components[4], std::int32_t* build);

// Creates or truncates NAME.c (VersionFileSource) or NAME.h and writes its
// first lines. 1 on success; 0 when the name is too long, the file cannot be
// created or written there (FileCanCreate), or (without VersionFileKeepOpen)
// the file could not be written. With VersionFileKeepOpen the open stream goes to *stream and
// nothing reaches the disk before it is closed.
int CreateVersionFile(const char* name, unsigned options, VersionStream* stream);
// The existing file, open for reading (and writable) at its start; with
// VersionFileCreate a missing file is created first. A file that cannot be
// opened for reading and writing, a read-only one for example, counts as
// missing.
std::optional<VersionStream> OpenVersionFile(const char* name, unsigned options);
// Writes lines 6 to 13 of the source file and closes the stream. 1 on
// success, 0 when the file could not be written.
int WriteVersionNumbers(VersionStream& stream, const std::int32_t components[4],
                        std::int32_t build);
// Writes lines 4 to 16 of the header and closes the stream. 1 on success, 0
// when the file could not be written.
int WriteVersionHeader(VersionStream& stream, const char* name);
// Closes the stream. A stream open for writing puts its text on disk: 1 when
// it got there whole, else 0 and the old file is as it was.
int CloseVersionFile(VersionStream& stream);

// The version line's text, "Ver 00.00.00.01 - Build 0001".
std::string VersionText(const std::int32_t components[4], std::int32_t build);

} // namespace kelpin
