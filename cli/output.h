// Where the CLI's results go: standard output, or a file replaced safely.
// Nothing a command writes may lose what was there: an output is never one
// of the inputs, a link keeps pointing at the file it names, and a failure
// says which file and why.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "block_text.h"

namespace kelpin::cli {

// Writes bytes to standard output. A failure is kept and reported once, at
// the end of the run (FinishStandardOutput), as every command's exit 3.
void WriteStandardOutput(std::string_view bytes);
// Flushes standard output: true, or false after printing
// "kelpin: standard output: REASON" for the first failure of the run.
bool FinishStandardOutput();

// Whether two paths name the same file (device and inode), so that links,
// "./" and other spellings count. False when either cannot be looked up.
bool SameFile(const std::string& a, const std::string& b);

// The file a path names when it is written: the target of a symbolic link
// (followed to its end, even when the file it names is not there yet), else
// the path itself. Replacing the link instead would cut it off from the file
// it names.
std::string WriteTarget(const std::string& path);

// Refuses to write output onto one of inputs: false, after the error line,
// when it is one of them.
bool CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs);

// Whether the file at path may be replaced by a tags file: it is missing or
// empty, or it reads as a tags file (a "!_TAG_" line, an Emacs TAGS file's
// form feed, or lines of NAME<tab>FILE<tab>ADDRESS). Else false, after the
// error line: a source file named by mistake would be lost.
bool CheckReplaceableTagsFile(const std::string& path);
// The same, without the error line.
bool IsReplaceableTagsFile(const std::string& path);

// Replaces the file at path (its link's target, for a link) with text,
// atomically. False after an error line naming the file and the system's
// reason.
bool ReplaceFile(const std::string& path, std::string_view text);

// A command's result: written to standard output when path is empty, else
// the file at path replaced with it (ReplaceFile). ExitOk, or ExitInput
// after the error line.
int WriteResult(const std::string& path, std::string_view text);

// A text the CLI edits in place: false, after the error line, when it looks
// like no text (a NUL byte in its first 8 KiB), since a C file holds none
// and an edit would damage whatever this is.
bool CheckEditableText(const std::string& path, std::string_view text);

// A UTF-8 byte-order mark at the start of a text: the edits and scans work
// on what follows it, and it stays first.
inline constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
inline std::size_t ByteOrderMarkLength(std::string_view text) {
    return text.substr(0, ByteOrderMark.size()) == ByteOrderMark ? ByteOrderMark.size() : 0;
}

} // namespace kelpin::cli
