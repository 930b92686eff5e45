// Functions as the CLI reports them: found by either scanner, chosen by line
// or by name, and written in the one form each output takes.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "json_text.h"

namespace kelpin::cli {

// Which reading of C the command runs: its own precise scan, or the add-in's
// scanner and lookup (--add-in), for exactly what the add-in gives.
enum class ScanKind { Precise, AddIn };

struct Listed {
    std::string name;
    std::string declaration;
    std::int32_t first;              // the first line of its definition (the add-in's: start)
    std::int32_t start;              // precise: the line of its name; the add-in's: the line feeds
                                     // before its body's opening brace
    std::optional<std::int32_t> end; // its closing brace's line; none: the body never closes
};

// The functions of a text in text order; declarations only when asked for
// (the precise scan makes each one on demand). The add-in's scanner needs the
// text's terminating NUL. A byte-order mark is not part of the first
// declaration.
std::vector<Listed> FunctionsOf(const SourceText& text, ScanKind kind, bool declarations);
std::vector<Listed> PreciseFunctionsOf(std::string_view text, bool declarations);

// The function whose lines, from its first to its closing brace's, hold the
// 1-based line; a body that never closes holds every line after its first.
// No function holds a line past the end of the text. The last one, when two
// share the line.
const Listed* FunctionAtLine(std::string_view text, const std::vector<Listed>& found,
                             std::int32_t line);
// The one function called name; null after the error line when there is
// none (*status ExitNothing) or several (ExitUsage, their lines listed).
const Listed* FunctionNamed(const std::string& file, const std::string& name,
                            const std::vector<Listed>& found, int* status);
// The error line of a lookup that found no function at the line, with the
// add-in's own words.
void NotInAFunction(const std::string& file, std::int32_t line);

// {"file", "name", "declaration", "start", "end"}, "file" only when given.
std::string FunctionJson(const Listed& f, const std::string* file, JsonBytes bytes);
// The "name:", "declaration:", "start:", "end:" lines.
std::string FunctionFields(const Listed& f);
// A line number for the listing: "-" for none.
std::string LineText(std::optional<std::int32_t> line);

// --line N, N a 1-based line number.
CLI::Option* AddLineOption(CLI::App* command, int* line, const std::string& help);
// --add-in, and the --precise older scripts give (the default now), which it
// excludes.
CLI::Option* AddAddInFlag(CLI::App* command, bool* addIn, const std::string& help);

} // namespace kelpin::cli
