// The kelpin command-line tool: every command of the add-in from a shell, a
// Makefile or an editor, on the subsystems' own functions: the same scan,
// listing, comment blocks and version module as the add-in's dialogs.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "source_text.h"

namespace kelpin::cli {

// Exit statuses.
enum : int {
    ExitOk = 0,
    ExitNothing = 1, // nothing to act on (no function at that line, ...)
    ExitUsage = 2,
    ExitInput = 3, // input/output or format error
};

// Each command family adds its subcommands to app; when one runs, it stores
// its exit status in *status.
void AddFunctionsCommands(CLI::App& app, int* status);
void AddPrototypesCommand(CLI::App& app, int* status);
void AddCommentCommand(CLI::App& app, int* status);
void AddVersionCommand(CLI::App& app, int* status);
void AddTagsCommand(CLI::App& app, int* status);
void AddSymbolsCommand(CLI::App& app, int* status);
void AddLspCommand(CLI::App& app, int* status);

// kelpin functions PATH... (listing.cpp).
struct ListingOptions {
    std::vector<std::string> paths;
    bool json = false;
    bool jsonl = false;
    bool addIn = false;
    int jobs = 0; // 0: one thread for each processor
    std::string extensions;
};
// Adds --add-in, --jsonl, -j and --ext to kelpin functions; json is its
// --json, which --jsonl excludes.
void AddTreeOptions(CLI::App* command, ListingOptions* options, CLI::Option* json);
// --add-in with one FILE and none of the options that came with trees: the
// add-in's own listing.
bool IsAddInListing(const ListingOptions& options);
// That listing: the table "start end name", or the JSON array.
int ListAddInFunctions(const std::string& file, bool json);
// Every other listing: many files, directories, --jsonl, the precise scan.
int ListFunctionTree(const ListingOptions& options);

// A check of a whole number from low to high, whose error says so plainly
// (CLI11's own names a range of floating-point numbers).
CLI::Validator NumberIn(int low, int high);

// One error line on stderr: "kelpin: " and the message.
void PrintError(const std::string& message);

// Reads a source file whole. On failure prints one line naming the file and
// the reason and returns false (exit status ExitInput).
bool ReadSourceText(const std::string& path, SourceText* text);
bool ReadSourceFile(const std::string& path, std::string* text);

// FILE's absolute path with "/" turned into "\" (the document path the Host
// IDE would give).
std::string DocumentPath(const std::string& file);

} // namespace kelpin::cli
