// kelpin functions over files and trees, and the precise forms of kelpin
// functions, function and prototypes.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "json_text.h"
#include "navigation/navigation.h"
#include "scanner/lookup.h"
#include "scanner/precise.h"
#include "scanner/scanner.h"
#include "tree.h"

namespace kelpin::cli {

namespace {

// One function as the listings write it.
struct Listed {
    std::string name;
    std::string declaration;
    std::int32_t start;
    std::optional<std::int32_t> end; // none: the body never closes
};

void KeepBegin(std::int32_t line, const char* declaration, void* context) {
    std::string text = declaration;
    std::string name(FunctionNameOf(text));
    static_cast<std::vector<Listed>*>(context)->push_back(
        {std::move(name), std::move(text), line, std::nullopt});
}

int KeepEnd(std::int32_t line, void* context) {
    static_cast<std::vector<Listed>*>(context)->back().end = line;
    return 1;
}

// The functions of a file by either scanner; the precise scan makes each
// declaration only when it is asked for.
std::vector<Listed> FunctionsOf(const FileBytes& file, bool precise, bool declarations) {
    std::vector<Listed> found;
    if (!precise) {
        ScanFunctions(file.c_str(), KeepBegin, KeepEnd, &found);
        return found;
    }
    PreciseScan scan;
    ScanPrecise(file.view(), &scan);
    found.reserve(scan.functions.size());
    for (const PreciseFunction& f : scan.functions) {
        Listed listed{std::string(PreciseName(file.view(), f)), {}, f.start, std::nullopt};
        if (declarations) listed.declaration = PreciseDeclaration(file.view(), scan, f);
        if (f.end != 0) listed.end = f.end;
        found.push_back(std::move(listed));
    }
    return found;
}

// {"file", "name", "declaration", "start", "end"}, "file" only when given.
void AppendJson(std::string* out, const std::string* file, const Listed& f) {
    *out += '{';
    if (file != nullptr) {
        *out += "\"file\":";
        AppendJsonString(out, *file);
        *out += ',';
    }
    *out += "\"name\":";
    AppendJsonString(out, f.name);
    *out += ",\"declaration\":";
    AppendJsonString(out, f.declaration);
    *out += ",\"start\":" + std::to_string(f.start);
    *out += ",\"end\":" + (f.end ? std::to_string(*f.end) : std::string("null")) + "}";
}

std::string LineText(std::optional<std::int32_t> line) {
    return line ? std::to_string(*line) : "-";
}

enum class Form { Table, JsonArray, JsonLines, Lines };

// What one file gives in the form.
std::string Format(Form form, const std::string& path, const std::vector<Listed>& found) {
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
            AppendJson(&out, nullptr, found[i]);
        }
        out += found.empty() ? "]\n" : "\n]\n";
        break;
    case Form::JsonLines:
        for (const Listed& f : found) {
            AppendJson(&out, &path, f);
            out += '\n';
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

} // namespace

void AddTreeOptions(CLI::App* command, ListingOptions* options, CLI::Option* json) {
    command->add_flag("--precise", options->precise,
                      "use the precise scan: directives and #if branches read as the "
                      "preprocessor reads them, start at the function's name");
    command
        ->add_flag("--jsonl", options->jsonl,
                   "print one JSON object a function and a line: {file, name, declaration, "
                   "start, end}")
        ->excludes(json);
    AddWalkOptions(command, &options->jobs, &options->extensions);
    command->footer(
        "PATH: files and directories. A directory is walked for *.c and *.h (--ext), hidden\n"
        "directories and links to directories passed over. Files come in byte order of\n"
        "their paths, each one's functions in text order, the same for every -j.\n"
        "One FILE: the table \"start end name\" (or --json). Many files, or a directory: one\n"
        "line a function, PATH:START: NAME, as grep -n and editors' error lists read them.\n"
        "start and end, by default the add-in's: start is the number of line feeds before\n"
        "the body's opening brace (the line above it), end the line of its closing brace.\n"
        "With --precise: start is the line of the function's name, end the line of its\n"
        "closing brace; both count from 1. end is \"-\" (null in JSON) for a body that\n"
        "never closes.");
}

bool IsAddInListing(const ListingOptions& options) {
    return options.paths.size() == 1 && !options.precise && !options.jsonl &&
           !IsDirectory(options.paths[0]);
}

int ListAddInFunctions(const std::string& file, bool json) {
    SourceText text;
    if (!ReadSourceText(file, &text)) return ExitInput;
    std::string out =
        Format(json ? Form::JsonArray : Form::Table, file, FunctionsOf(text, false, true));
    std::fwrite(out.data(), 1, out.size(), stdout);
    return ExitOk;
}

int ListFunctionTree(const ListingOptions& options) {
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

    int status = ForEachFile(
        options.paths, extensions, options.jobs,
        [&](const std::string& path) {
            FileOutcome outcome;
            FileBytes file;
            outcome.error = ReadFileBytes(path, &file);
            if (outcome.error == 0)
                outcome.text = Format(form, path, FunctionsOf(file, options.precise, declarations));
            return outcome;
        },
        [](std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); });
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintError("standard output: write error");
        return ExitInput;
    }
    return status;
}

int ShowPreciseFunction(const std::string& path, int line, bool json) {
    FileBytes file;
    if (!ReadSourceText(path, &file)) return ExitInput;
    std::vector<Listed> found = FunctionsOf(file, true, true);
    // The function whose lines, from its name's to its closing brace's, hold
    // the line; a body that never closes holds every line after its start.
    // No function holds a line past the end of the text.
    const Listed* holder = nullptr;
    auto lines = std::count(file.view().begin(), file.view().end(), '\n') + 1;
    for (const Listed& f : found)
        if (line <= lines && f.start <= line && (!f.end || line <= *f.end)) holder = &f;
    if (holder == nullptr) {
        std::fputs("Function: You're not in a function body.\n", stderr);
        return ExitNothing;
    }
    std::string out;
    if (json) {
        AppendJson(&out, nullptr, *holder);
        out += '\n';
    } else {
        out = "name:        " + holder->name + "\ndeclaration: " + holder->declaration +
              "\nstart:       " + std::to_string(holder->start) +
              "\nend:         " + LineText(holder->end) + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return ExitOk;
}

std::string PrecisePrototypeListing(std::string_view text, const std::string& documentPath) {
    std::string guard = GuardName(documentPath.c_str());
    std::string listing = "#ifndef __" + guard + "_H__\r\n#define __" + guard + "_H__\r\n\r\n";
    PreciseScan scan;
    ScanPrecise(text, &scan);
    for (const PreciseFunction& f : scan.functions)
        (listing += PreciseDeclaration(text, scan, f)) += ";\r\n";
    listing += "\r\n#endif\t// " + guard + "_H__\r\n";
    return listing;
}

} // namespace kelpin::cli
