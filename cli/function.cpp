// kelpin function: the function whose lines hold a line, or the one of a
// name.

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
    CLI::Option* lineOption = nullptr;
    CLI::Option* nameOption = nullptr;
};

// The command as its help names and tells it.
constexpr CommandText Command = {
    "function", "Show the function whose lines hold line N of FILE, or the function NAME"};

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
    if (options.lineOption->count() == 0 && options.nameOption->count() == 0) {
        PrintError("function: give --line N or --name NAME (see kelpin function --help)");
        return ExitUsage;
    }
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

void AddFunctionCommand(CLI::App& app, Commands& commands) {
    auto [command, options] = AddCommand<FunctionOptions>(commands, app, Command, ShowFunction);
    AddFileArgument(command, &options.file);
    options.lineOption = AddLineOption(command, &options.line, "a 1-based line of the function");
    options.nameOption = command->add_option("--name", options.name, "the function of that name")
                             ->option_text("NAME");
    options.lineOption->excludes(options.nameOption);
    command->add_flag("--json", options.json, "print {name, declaration, start, end} as JSON");
    CLI::Option* addIn = AddAddInFlag(command, &options.addIn,
                                      "find it as the add-in's \"Current function\" does: the "
                                      "function whose body holds line N");
    options.nameOption->excludes(addIn);
    command->footer("One of --line and --name is needed. A function's lines run from the first "
                    "line of its\ndeclaration to its closing brace; start is the line of its "
                    "name, end that of\nits closing brace (\"-\", null in JSON, for a body that "
                    "never closes).");
}

} // namespace kelpin::cli
