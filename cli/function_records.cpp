#include "function_records.h"

#include <algorithm>

#include "output.h"
#include "scanner/lookup.h"
#include "scanner/precise.h"
#include "scanner/scanner.h"

namespace kelpin::cli {

namespace {

void KeepBegin(std::int32_t line, const char* declaration, void* context) {
    std::string text = declaration;
    std::string name(FunctionNameOf(text));
    static_cast<std::vector<Listed>*>(context)->push_back(
        {std::move(name), std::move(text), line, line, std::nullopt});
}

int KeepEnd(std::int32_t line, void* context) {
    static_cast<std::vector<Listed>*>(context)->back().end = line;
    return 1;
}

} // namespace

std::vector<Listed> FunctionsOf(const SourceText& file, ScanKind kind, bool declarations) {
    if (kind == ScanKind::Precise) return PreciseFunctionsOf(file.view(), declarations);
    std::vector<Listed> found;
    ScanFunctions(file.c_str(), KeepBegin, KeepEnd, &found);
    return found;
}

std::vector<Listed> PreciseFunctionsOf(std::string_view text, bool declarations) {
    std::vector<Listed> found;
    text.remove_prefix(ByteOrderMarkLength(text));
    PreciseScan scan;
    ScanPrecise(text, &scan);
    found.reserve(scan.functions.size());
    for (const PreciseFunction& f : scan.functions) {
        Listed listed{std::string(PreciseName(text, f)), {}, f.first, f.start, std::nullopt};
        if (declarations) listed.declaration = PreciseDeclaration(text, scan, f);
        if (f.end != 0) listed.end = f.end;
        found.push_back(std::move(listed));
    }
    return found;
}

const Listed* FunctionAtLine(std::string_view text, const std::vector<Listed>& found,
                             std::int32_t line) {
    auto lines = std::count(text.begin(), text.end(), '\n') + 1;
    if (line < 1 || line > lines) return nullptr;
    const Listed* holder = nullptr;
    for (const Listed& f : found)
        if (f.first <= line && (!f.end || line <= *f.end)) holder = &f;
    return holder;
}

const Listed* FunctionNamed(const std::string& file, const std::string& name,
                            const std::vector<Listed>& found, int* status) {
    std::vector<const Listed*> named;
    for (const Listed& f : found)
        if (f.name == name) named.push_back(&f);
    if (named.size() == 1) return named[0];
    if (named.empty()) {
        PrintError(file + ": no function " + name + " is defined here");
        *status = ExitNothing;
        return nullptr;
    }
    std::string lines;
    for (const Listed* f : named)
        lines += (lines.empty() ? "" : ", ") + std::to_string(f->start);
    PrintError(file + ": " + name + " is defined " + std::to_string(named.size()) +
               " times, on lines " + lines + "; choose one with --line");
    *status = ExitUsage;
    return nullptr;
}

void NotInAFunction(const std::string& file, std::int32_t line) {
    PrintError(file + ":" + std::to_string(line) + ": You're not in a function body.");
}

std::string LineText(std::optional<std::int32_t> line) {
    return line ? std::to_string(*line) : "-";
}

std::string FunctionJson(const Listed& f, const std::string* file, JsonBytes bytes) {
    std::string out = "{";
    if (file != nullptr) {
        out += "\"file\":";
        AppendJsonString(&out, *file, bytes);
        out += ',';
    }
    out += "\"name\":";
    AppendJsonString(&out, f.name, bytes);
    out += ",\"declaration\":";
    AppendJsonString(&out, f.declaration, bytes);
    out += ",\"start\":" + std::to_string(f.start);
    out += ",\"end\":" + (f.end ? std::to_string(*f.end) : std::string("null")) + "}";
    return out;
}

std::string FunctionFields(const Listed& f) {
    return "name:        " + f.name + "\ndeclaration: " + f.declaration +
           "\nstart:       " + std::to_string(f.start) + "\nend:         " + LineText(f.end) + "\n";
}

CLI::Option* AddLineOption(CLI::App* command, int* line, const std::string& help) {
    // Digits only, and not 0: CLI11's own checks would name a range of
    // floating-point numbers.
    static const CLI::Validator LineNumber(
        [](std::string& input) -> std::string {
            bool digits = !input.empty() && input.size() <= 9 &&
                          std::all_of(input.begin(), input.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
            if (digits && input.find_first_not_of('0') != std::string::npos) return {};
            return input + " is not a line number (1 to 999999999)";
        },
        "N");
    return command->add_option("--line", *line, help)->option_text("N")->check(LineNumber);
}

CLI::Option* AddAddInFlag(CLI::App* command, bool* addIn, const std::string& help) {
    CLI::Option* flag = command->add_flag("--add-in", *addIn, help);
    // What --precise chose is the default now; scripts that still say so
    // keep working.
    command->add_flag("--precise")
        ->description("the precise scan (the default)")
        ->group("")
        ->excludes(flag);
    return flag;
}

} // namespace kelpin::cli
