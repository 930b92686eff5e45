// kelpin functions: the table, JSON and line listings of files and trees.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "function_records.h"
#include "output.h"
#include "tree.h"

namespace kelpin::cli {

namespace {

enum class Form { Table, JsonArray, JsonLines, Lines };

// What one file gives in the form.
std::string Format(Form form, JsonBytes bytes, const std::string& path,
                   const std::vector<Listed>& found) {
    std::string out;
    switch (form) {
    case Form::Table: {
        // Right-aligned line numbers, then the name: one function a line.
        std::size_t startWidth = 5, endWidth = 3;
        for (const Listed& f : found) {
            startWidth = std::max(startWidth, std::to_string(f.start).size());
            endWidth = std::max(endWidth, LineText(f.end).size());
        }
        auto row = [&](const std::string& start, const std::string& end, std::string_view name) {
            out.append(startWidth - start.size(), ' ') += start;
            out.append(2 + endWidth - end.size(), ' ') += end;
            (out += "  ") += name;
            out += '\n';
        };
        row("start", "end", "name");
        for (const Listed& f : found)
            row(std::to_string(f.start), LineText(f.end), f.name);
        break;
    }
    case Form::JsonArray:
        out = "[";
        for (std::size_t i = 0; i < found.size(); ++i) {
            out += i == 0 ? "\n  " : ",\n  ";
            out += FunctionJson(found[i], nullptr, bytes);
        }
        out += found.empty() ? "]\n" : "\n]\n";
        break;
    case Form::JsonLines:
        for (const Listed& f : found) {
            (out += FunctionJson(f, &path, bytes)) += '\n';
        }
        break;
    case Form::Lines:
        // As grep -n and editors' error lists read them.
        for (const Listed& f : found) {
            ((out += path) += ':') += std::to_string(f.start);
            ((out += ": ") += f.name) += '\n';
        }
        break;
    }
    return out;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct FunctionsOptions {
    std::vector<std::string> paths;
    bool json = false;
    bool jsonl = false;
    bool addIn = false;
    int jobs = 0; // 0: one thread for each processor
    std::string extensions;
};

// The command as its help names and tells it.
constexpr CommandText Command = {
    "functions", "List the functions defined in files and trees: start line, end line, name"};

// --add-in with one FILE and none of the options that came with trees: the
// add-in's own listing, the table "start end name" or the JSON array.
bool IsAddInListing(const FunctionsOptions& options) {
    return options.paths.size() == 1 && options.addIn && !options.jsonl &&
           !IsDirectory(options.paths[0]);
}

int ListAddInFunctions(const std::string& file, bool json) {
    SourceText text;
    if (!ReadSourceText(file, &text)) return ExitInput;
    WriteStandardOutput(Format(json ? Form::JsonArray : Form::Table, JsonBytes::Latin1, file,
                               FunctionsOf(text, ScanKind::AddIn, true)));
    return ExitOk;
}

// Every other listing: many files, directories, --jsonl, the precise scan.
int ListFunctionTree(const FunctionsOptions& options) {
    std::vector<std::string> extensions;
    if (!WalkExtensions(options.extensions, &extensions)) return ExitUsage;
    bool many = options.paths.size() > 1 ||
                std::any_of(options.paths.begin(), options.paths.end(), IsDirectory);
    if (many && options.json) {
        PrintError("--json lists one FILE; for many, use --jsonl");
        return ExitUsage;
    }
    Form form = options.jsonl  ? Form::JsonLines
                : many         ? Form::Lines
                : options.json ? Form::JsonArray
                               : Form::Table;
    bool declarations = form == Form::JsonArray || form == Form::JsonLines;
    ScanKind kind = options.addIn ? ScanKind::AddIn : ScanKind::Precise;
    JsonBytes bytes = options.addIn ? JsonBytes::Latin1 : JsonBytes::Utf8;
    return ListEachFile(options.paths, extensions, options.jobs,
                        [&](const std::string& path, const FileBytes& file) {
                            return Format(form, bytes, path, FunctionsOf(file, kind, declarations));
                        });
}

int RunFunctions(const FunctionsOptions& options) {
    return IsAddInListing(options) ? ListAddInFunctions(options.paths[0], options.json)
                                   : ListFunctionTree(options);
}

} // namespace

void AddFunctionsCommand(CLI::App& app, Commands& commands) {
    auto [command, options] = AddCommand<FunctionsOptions>(commands, app, Command, RunFunctions);
    AddPathArguments(command, &options.paths);
    CLI::Option* json =
        command->add_flag("--json", options.json,
                          "print a JSON array of {name, declaration, start, end}; end is null "
                          "for a body that never closes (one FILE)");

    AddAddInFlag(command, &options.addIn,
                 "list what the add-in's scanner finds: every brace counted, start the line "
                 "above the body's opening brace");
    command
        ->add_flag("--jsonl", options.jsonl,
                   "print one JSON object a function and a line: {file, name, declaration, "
                   "start, end}")
        ->excludes(json);
    AddWalkOptions(command, &options.jobs, &options.extensions);
    command->footer(
        "PATH: files and directories. A directory is walked for *.c and *.h (--ext), hidden\n"
        "directories and links to directories passed over. Files come in byte order of\n"
        "their paths, each one's functions in text order, the same for every -j.\n"
        "One FILE: the table \"start end name\" (or --json). Many files, or a directory: one\n"
        "line a function, PATH:START: NAME, as grep -n and editors' error lists read them.\n"
        "The scan reads directives and #if branches as the preprocessor reads them: start\n"
        "is the line of the function's name, end the line of its closing brace, both from\n"
        "1; end is \"-\" (null in JSON) for a body that never closes. With --add-in: the\n"
        "add-in's scanner, whose start is the number of line feeds before the body's\n"
        "opening brace (the line above it), and JSON text read a byte a character.");
}

} // namespace kelpin::cli
