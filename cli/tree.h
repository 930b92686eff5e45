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

// The files under paths: each path that is not a directory is taken as it
// is; a directory is walked for files whose names end in one of extensions
// ("c", "h"), hidden directories passed over and symbolic links to
// directories not followed. In byte order of their paths, each once. A
// directory that cannot be read gives one line in *errors.
std::vector<std::string> FilesUnder(const std::vector<std::string>& paths,
                                    const std::vector<std::string>& extensions,
                                    std::vector<std::string>* errors);

// "c,h" or ".c, .h": the extensions, without dots; empty names dropped.
std::vector<std::string> ParseExtensions(const std::string& list);

// The number of threads -j takes by default: the processors there are.
int DefaultJobs();
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

// The message for a file that gave no text: "PATH: reason".
std::string OutcomeMessage(const std::string& path, const FileOutcome& outcome);

// Runs work(i) for every i below count on jobs threads and hands each outcome
// to take(i, outcome) on the calling thread, in the order of i. At most a
// window of outcomes waits ahead of take, so that memory goes with the files
// in flight, never with the whole list.
void RunInOrder(std::size_t count, int jobs, const std::function<FileOutcome(std::size_t)>& work,
                const std::function<void(std::size_t, FileOutcome&)>& take);

} // namespace kelpin::cli
