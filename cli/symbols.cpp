// kelpin symbols: every symbol the precise scan finds under PATH, of the
// kinds asked for.
#include "symbols.h"

#include <string>
#include <vector>

#include "cli.h"
#include "json_text.h"
#include "scanner/symbols.h"
#include "tree.h"

namespace kelpin::cli {

bool ParseSymbolKinds(const std::string& option, std::string* kinds) {
    std::string chosen = DefaultSymbolKinds;
    if (!option.empty()) {
        bool adding = true;
        bool relative = option[0] == '+' || option[0] == '-';
        if (!relative) chosen.clear();
        for (char c : option) {
            if (c == '+' || c == '-') {
                if (!relative) {
                    PrintError("--kinds: \"" + option +
                               "\": give LETTERS, or +LETTERS and -LETTERS to change the default");
                    return false;
                }
                adding = c == '+';
                continue;
            }
            if (SymbolKinds.find(c) == std::string_view::npos) {
                PrintError(std::string("--kinds: no kind '") + c +
                           "' (kinds: " + std::string(SymbolKinds) + ")");
                return false;
            }
            std::string::size_type at = chosen.find(c);
            if (adding && at == std::string::npos) chosen += c;
            if (!adding && at != std::string::npos) chosen.erase(at, 1);
        }
    }
    *kinds = chosen;
    return true;
}

namespace {

struct SymbolsOptions {
    std::vector<std::string> paths;
    std::string kinds;
    bool jsonl = false;
    int jobs = 0;
    std::string extensions;
};

// The command as its help names and tells it.
constexpr CommandText Command = {
    "symbols", "List the macros, types, members, enumerators, variables and functions under PATH"};

std::string ListSymbols(const std::string& path, std::string_view text, const std::string& kinds,
                        bool jsonl) {
    PreciseSymbols found;
    ScanSymbols(text, &found);
    std::string out;
    for (const PreciseSymbol& s : found.symbols) {
        if (kinds.find(s.kind) == std::string::npos) continue;
        std::string scope = SymbolScope(text, found, s.scope);
        if (jsonl) {
            out += "{\"file\":";
            AppendJsonString(&out, path);
            out += ",\"name\":";
            AppendJsonString(&out, SymbolName(text, s));
            ((out += ",\"kind\":\"") += SymbolKindName(s.kind)) += '"';
            out += ",\"line\":" + std::to_string(s.line);
            out += ",\"end\":" + (s.end > 0 ? std::to_string(s.end) : std::string("null"));
            out += ",\"scope\":";
            if (scope.empty()) {
                out += "null";
            } else {
                AppendJsonString(&out, scope);
            }
            out += s.isStatic ? ",\"static\":true}\n" : ",\"static\":false}\n";
            continue;
        }
        // PATH:LINE: KIND NAME, then the scope and "static" where they apply.
        ((out += path) += ':') += std::to_string(s.line);
        ((out += ": ") += SymbolKindName(s.kind)) += ' ';
        out += SymbolName(text, s);
        if (!scope.empty()) (out += ' ') += scope;
        if (s.isStatic) out += " static";
        out += '\n';
    }
    return out;
}

int RunSymbols(const SymbolsOptions& options) {
    std::string kinds;
    if (!ParseSymbolKinds(options.kinds, &kinds)) return ExitUsage;
    std::vector<std::string> extensions;
    if (!WalkExtensions(options.extensions, &extensions)) return ExitUsage;
    return ListEachFile(options.paths, extensions, options.jobs,
                        [&](const std::string& path, const FileBytes& file) {
                            return ListSymbols(path, file.view(), kinds, options.jsonl);
                        });
}

} // namespace

void AddSymbolsCommand(CLI::App& app, Commands& commands) {
    auto [command, options] = AddCommand<SymbolsOptions>(commands, app, Command, RunSymbols);
    AddPathArguments(command, &options.paths);
    AddKindsOption(command, &options.kinds, "list");
    command->add_flag("--jsonl", options.jsonl,
                      "print one JSON object a symbol and a line: {file, name, kind, line, end, "
                      "scope, static}");
    AddWalkOptions(command, &options.jobs, &options.extensions);
    command->footer(
        "Kinds: d macro definition, e enumerator, f function definition, g enum, m member\n"
        "of a struct or union, p prototype, s struct, t typedef, u union, v file-scope\n"
        "variable, x extern declaration. p and x are left out unless asked for.\n"
        "One line a symbol, PATH:LINE: KIND NAME, then the struct, union or enum it belongs\n"
        "to (struct:NAME, an anonymous one as __anonN) and \"static\" for a static one. LINE\n"
        "is the line of the name; end (in --jsonl) the last line of a body, a struct's\n"
        "braces or a macro's definition. Functions are those kelpin functions --precise\n"
        "lists. Every branch of an #if is read; a group under #if 0 is not.\n"
        "Directories are walked as kelpin functions walks them; files come in byte order of\n"
        "their paths, each one's symbols in text order, the same for every -j.");
}

} // namespace kelpin::cli
