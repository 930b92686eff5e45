// Whole trees: the files under paths, read and scanned on many threads and
// written in one order whatever the number of threads.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

namespace kelpin::cli {

// Adds -j,--jobs N and --ext LIST, the options of every command that walks
// trees.
void AddWalkOptions(CLI::App* command, int* jobs, std::string* extensions);

// A file's bytes, with a zero byte after them for the add-in's scanner, as
// every command reads them (cli.h).
using FileBytes = SourceText;

// What one file gave: the text to write for it, or the error to report.
struct FileOutcome {
    std::string text;
    int error = 0;       // an errno value from reading it
    std::string problem; // or another reason it gave nothing
};

// --ext as given ("" for the default c,h): false, with the error line, when
// it names no extension.
bool WalkExtensions(const std::string& option, std::vector<std::string>* extensions);

// Runs work on every file under paths on jobs threads (0: one for each
// processor) and hands each file's text to take, in byte order of the paths,
// with a bounded window of files in flight. A path that is not a directory
// is taken as it is; a directory is walked for files whose names end in one
// of extensions, hidden directories passed over and symbolic links to
// directories not followed. A folder that cannot be walked, or a file whose
// work gave no text, is one error line. ExitOk, or ExitInput when there was
// any.
int ForEachFile(const std::vector<std::string>& paths, const std::vector<std::string>& extensions,
                int jobs, const std::function<FileOutcome(const std::string& path)>& work,
                const std::function<void(std::string& text)>& take);

// ForEachFile for a listing: each file read whole and its text made by list,
// the texts written to standard output in byte order of the paths.
int ListEachFile(
    const std::vector<std::string>& paths, const std::vector<std::string>& extensions, int jobs,
    const std::function<std::string(const std::string& path, const FileBytes& file)>& list);

// Which files a walk takes: those under paths whose names end in one of
// extensions, less those a pattern of excludes matches (fnmatch, against the
// name and against the path as walked; a directory it matches is not
// walked). Version-control folders (.git, .hg, .svn), like every hidden
// directory, are never walked.
struct FileChoice {
    std::vector<std::string> paths;
    std::vector<std::string> extensions;
    std::vector<std::string> excludes;
};

// The files chosen, in byte order of their paths, each once; a folder that
// cannot be walked is one line in errors.
std::vector<std::string> ChosenFiles(const FileChoice& choice, std::vector<std::string>* errors);

// Whether a pattern of excludes matches path (its name or the whole of it).
bool Excluded(const std::string& path, const std::vector<std::string>& excludes);

// ForEachFile on count files already chosen, known by their index: work on
// each on jobs threads, take of each text in index order, an error line
// (naming the file pathOf gives) for each that gave none. ExitOk, or
// ExitInput when there was any.
int ForEachListedFile(std::size_t count, int jobs,
                      const std::function<FileOutcome(std::size_t index)>& work,
                      const std::function<void(std::size_t index, std::string& text)>& take,
                      const std::function<std::string(std::size_t index)>& pathOf);

// Runs body on as many threads as jobs says (0: one for each processor),
// but not more than count, this thread among them, and waits for all.
void RunOnThreads(int jobs, std::size_t count, const std::function<void()>& body);

} // namespace kelpin::cli
