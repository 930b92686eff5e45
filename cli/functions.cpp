// kelpin functions, kelpin function.

#include <algorithm>
#include <string>
#include <vector>

#include "cli.h"
#include "function_records.h"
#include "output.h"
#include "scanner/lookup.h"

namespace kelpin::cli {

namespace {

struct FunctionOptions {
    std::string file;
    int line = 0;
    std::string name;
    bool json = false;
    bool addIn = false;
};

// The function the options ask for: by name, or the one whose lines hold the
// line. Null, after the error line, when there is none (*status says why).
const Listed* Chosen(const FunctionOptions& options, std::string_view text,
                     const std::vector<Listed>& found, int* status) {
    if (!options.name.empty()) return FunctionNamed(options.file, options.name, found, status);
    const Listed* holder = FunctionAtLine(text, found, options.line);
    if (holder == nullptr) {
        NotInAFunction(options.file, options.line);
        *status = ExitNothing;
    }
    return holder;
}

// As command 3 finds it, with the caret on the line: none past the end of the
// text, nor in an empty text, which the editor does not hand out.
bool FindAddInFunction(const SourceText& source, std::int32_t line, Listed* found) {
    std::string_view text = source.view();
    if (text.empty() || line > std::count(text.begin(), text.end(), '\n') + 1) return false;
    CurrentFunction f = FindCurrentFunction(source.c_str(), line);
    if (f.declaration[0] == '\0') return false;
    *found = {f.name, f.declaration, f.startLine, f.startLine, std::nullopt};
    if (f.endLine != 0) found->end = f.endLine;
    return true;
}

int ShowFunction(const FunctionOptions& options) {
    SourceText source;
    if (!ReadSourceText(options.file, &source)) return ExitInput;
    std::vector<Listed> found;
    const Listed* chosen = nullptr;
    Listed addIn;
    int status = ExitOk;
    if (options.addIn) {
        if (!FindAddInFunction(source, options.line, &addIn)) {
            NotInAFunction(options.file, options.line);
            return ExitNothing;
        }
        chosen = &addIn;
    } else {
        found = FunctionsOf(source, ScanKind::Precise, true);
        chosen = Chosen(options, source.view(), found, &status);
        if (chosen == nullptr) return status;
    }
    JsonBytes bytes = options.addIn ? JsonBytes::Latin1 : JsonBytes::Utf8;
    WriteStandardOutput(options.json ? FunctionJson(*chosen, nullptr, bytes) + "\n"
                                     : FunctionFields(*chosen));
    return ExitOk;
}

} // namespace

void AddFunctionsCommands(CLI::App& app, int* status) {
    auto list = std::make_shared<ListingOptions>();
    CLI::App* functions = app.add_subcommand(
        "functions", "List the functions defined in files and trees: start line, end line, name");
    functions->add_option("PATH", list->paths, "C source files and directories")->required();
    CLI::Option* json =
        functions->add_flag("--json", list->json,
                            "print a JSON array of {name, declaration, start, end}; end is null "
                            "for a body that never closes (one FILE)");
    AddTreeOptions(functions, list.get(), json);
    functions->callback([list, status] {
        *status = IsAddInListing(*list) ? ListAddInFunctions(list->paths[0], list->json)
                                        : ListFunctionTree(*list);
    });

    auto one = std::make_shared<FunctionOptions>();
    CLI::App* function = app.add_subcommand(
        "function", "Show the function whose lines hold line N of FILE, or the function NAME");
    function->add_option("FILE", one->file, "C source file")->required();
    CLI::Option* line = AddLineOption(function, &one->line, "a 1-based line of the function");
    CLI::Option* name =
        function->add_option("--name", one->name, "the function of that name")->option_text("NAME");
    line->excludes(name);
    function->add_flag("--json", one->json, "print {name, declaration, start, end} as JSON");
    CLI::Option* addIn = AddAddInFlag(function, &one->addIn,
                                      "find it as the add-in's \"Current function\" does: the "
                                      "function whose body holds line N");
    name->excludes(addIn);
    function->footer("One of --line and --name is needed. A function's lines run from the first "
                     "line of its\ndeclaration to its closing brace; start is the line of its "
                     "name, end that of\nits closing brace (\"-\", null in JSON, for a body that "
                     "never closes).");
    function->callback([one, line, name, status] {
        if (line->count() == 0 && name->count() == 0) {
            PrintError("function: give --line N or --name NAME (see kelpin function --help)");
            *status = ExitUsage;
            return;
        }
        *status = ShowFunction(*one);
    });
}

} // namespace kelpin::cli
