// kelpin functions, kelpin function.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "json_text.h"
#include "scanner/lookup.h"

namespace kelpin::cli {

namespace {

// {"name", "declaration", "start", "end"}, as nlohmann::ordered_json would
// dump it; end is null for a body that never closes.
std::string FunctionJson(std::string_view name, std::string_view declaration, std::int32_t start,
                         std::optional<std::int32_t> end) {
    std::string object = "{\"name\":";
    AppendJsonString(&object, name);
    object += ",\"declaration\":";
    AppendJsonString(&object, declaration);
    object += ",\"start\":" + std::to_string(start);
    object += ",\"end\":" + (end ? std::to_string(*end) : std::string("null")) + "}";
    return object;
}

// A line number: digits only, not 0.
const CLI::Validator LineNumber(
    [](std::string& input) -> std::string {
        bool digits = !input.empty() && std::all_of(input.begin(), input.end(),
                                                    [](char c) { return c >= '0' && c <= '9'; });
        if (digits && input.find_first_not_of('0') != std::string::npos) return {};
        return "not a line number (1, 2, ...): " + input;
    },
    "LINE");

std::string LineText(std::optional<std::int32_t> line) {
    return line ? std::to_string(*line) : "-";
}

// The lines the editor shows for text: one more than its line feeds.
std::int64_t EditorLines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n') + 1;
}

// As command 3 finds it, with the caret on line N of the file's text.
int ShowFunction(const std::string& file, int line, bool json) {
    std::string text;
    if (!ReadSourceFile(file, &text)) return ExitInput;

    // A line past the end of the text is in no function; so is an empty text,
    // which the editor does not hand out.
    CurrentFunction f{};
    if (!text.empty() && line <= EditorLines(text)) f = FindCurrentFunction(text.c_str(), line);
    if (f.declaration[0] == '\0') {
        // The warning box's caption and text, as the add-in shows them.
        std::fputs("Function: You're not in a function body.\n", stderr);
        return ExitNothing;
    }
    std::optional<std::int32_t> end;
    if (f.endLine != 0) end = f.endLine;
    std::string out;
    if (json) {
        out = FunctionJson(f.name, f.declaration, f.startLine, end) + "\n";
    } else {
        out = std::string("name:        ") + f.name + "\ndeclaration: " + f.declaration +
              "\nstart:       " + std::to_string(f.startLine) + "\nend:         " + LineText(end) +
              "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return ExitOk;
}

} // namespace

void AddFunctionsCommands(CLI::App& app, int* status) {
    struct Options {
        std::string file;
        int line = 0;
        bool json = false;
        bool precise = false;
    };
    static Options one;
    static ListingOptions list;

    CLI::App* functions = app.add_subcommand(
        "functions", "List the functions defined in files and trees: start line, end line, name");
    functions->add_option("PATH", list.paths, "C source files and directories")->required();
    CLI::Option* json =
        functions->add_flag("--json", list.json,
                            "print a JSON array of {name, declaration, start, end}; end is null "
                            "for a body that never closes (one FILE)");
    AddTreeOptions(functions, &list, json);
    functions->callback([status] {
        *status = IsAddInListing(list) ? ListAddInFunctions(list.paths[0], list.json)
                                       : ListFunctionTree(list);
    });

    CLI::App* function = app.add_subcommand(
        "function", "Show the function whose body holds line N of FILE (\"Current function\")");
    function->add_option("FILE", one.file, "C source file")->required();
    function->add_option("--line", one.line, "1-based line number")->required()->check(LineNumber);
    function->add_flag("--json", one.json, "print {name, declaration, start, end} as JSON");
    function->add_flag("--precise", one.precise,
                       "use the precise scan: the function whose lines, from its name's to its "
                       "closing brace's, hold line N");
    function->callback([status] {
        *status = one.precise ? ShowPreciseFunction(one.file, one.line, one.json)
                              : ShowFunction(one.file, one.line, one.json);
    });
}

} // namespace kelpin::cli
