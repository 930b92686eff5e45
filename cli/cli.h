// The kelpin command-line tool: every command of the add-in from a shell, a
// Makefile or an editor, on the subsystems' own functions: the same scan,
// listing, comment blocks and version module as the add-in's dialogs.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kelpin_version.h"
#include "source_text.h"

namespace kelpin::cli {

// Exit statuses.
enum : int {
    ExitOk = 0,
    ExitNothing = 1, // nothing to act on (no function at that line, ...)
    ExitUsage = 2,
    ExitInput = 3, // input/output or format error
};

// The program's commands and what they own. Each command's options record is
// made when the command is added and kept here until the run ends: CLI11
// writes the options into it while it parses, and the command reads it when
// it runs.
struct Commands {
    int status = ExitOk; // the exit status of the command that ran
    std::vector<std::shared_ptr<void>> records;
};

// A command just added, and its options record.
template <class Options> struct AddedCommand {
    CLI::App* command;
    Options& options;
};

// What a command is called, and what it does in a line of its help.
struct CommandText {
    const char* name;
    const char* description;
};

// Adds the command under parent with a new Options record; when the command
// is chosen, run reads the record and gives the exit status.
template <class Options>
AddedCommand<Options> AddCommand(Commands& commands, CLI::App& parent, const CommandText& text,
                                 std::function<int(const Options&)> run) {
    auto record = std::make_shared<Options>();
    commands.records.push_back(record);
    Options& options = *record;
    CLI::App* command = parent.add_subcommand(text.name, text.description);
    command->callback([&commands, &options, run] { commands.status = run(options); });
    return {command, options};
}

// An option that takes a value, shown in the help as TYPE (OUT, N, ...).
template <class T>
CLI::Option* AddValueOption(CLI::App* command, const std::string& names, T* value,
                            const std::string& type, const std::string& help) {
    return command->add_option(names, *value, help)->type_name(type);
}
// -o OUT, under names, where a command writes what it makes.
CLI::Option* AddOutputOption(CLI::App* command, const std::string& names, std::string* out,
                             const std::string& help);
// --kinds LETTERS of the symbol kinds (symbols.h), for what verb does with them.
CLI::Option* AddKindsOption(CLI::App* command, std::string* kinds, const std::string& verb);

// A command that only groups others: one of them must follow its name.
CLI::App* AddCommandGroup(CLI::App& app, const std::string& name, const std::string& description);
// FILE, the one C source file a command reads.
void AddFileArgument(CLI::App* command, std::string* file);
// PATH..., the C source files and directories a command walks.
void AddPathArguments(CLI::App* command, std::vector<std::string>* paths);

// Each file adds its command, or its family of commands, to app.
void AddFunctionsCommand(CLI::App& app, Commands& commands);
void AddFunctionCommand(CLI::App& app, Commands& commands);
void AddPrototypesCommand(CLI::App& app, Commands& commands);
void AddCommentCommand(CLI::App& app, Commands& commands);
void AddVersionCommand(CLI::App& app, Commands& commands);
void AddTagsCommand(CLI::App& app, Commands& commands);
void AddSymbolsCommand(CLI::App& app, Commands& commands);
void AddLspCommand(CLI::App& app, Commands& commands);

// A check of a whole number from low to high, whose error says so plainly
// (CLI11's own names a range of floating-point numbers).
CLI::Validator NumberIn(int low, int high);

// One error line on stderr: "kelpin: " and the message.
void PrintError(const std::string& message);

// Reads a source file whole. On failure prints one line naming the file and
// the reason and returns false (exit status ExitInput).
bool ReadSourceText(const std::string& path, SourceText* text);
bool ReadSourceFile(const std::string& path, std::string* text);

} // namespace kelpin::cli
