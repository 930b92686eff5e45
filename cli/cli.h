// The kelpin command-line tool: every command of the add-in from a shell, a
// Makefile or an editor, on the subsystems' own functions: the same scan,
// listing, comment blocks and version module as the add-in's dialogs.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

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

// One error line on stderr: "kelpin: " and the message.
void PrintError(const std::string& message);

// A source file's bytes, NUL-terminated.
struct SourceText {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    const char* c_str() const { return bytes.get(); }
};
// Reads a source file whole. On failure prints one line naming the file and
// the reason and returns false (exit status ExitInput).
bool ReadSourceText(const std::string& path, SourceText* text);
bool ReadSourceFile(const std::string& path, std::string* text);

// FILE's absolute path with "/" turned into "\" (the document path the Host
// IDE would give).
std::string DocumentPath(const std::string& file);

} // namespace kelpin::cli
