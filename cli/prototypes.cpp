// kelpin prototypes: a header of the prototypes of the functions a source file
// defines, on standard output or in a file. With --add-in, the very text
// dialog 1001 shows for the file.

#include <algorithm>
#include <string>

#include "cli.h"
#include "function_records.h"
#include "host/host.h"
#include "navigation/navigation.h"
#include "output.h"
#include "seam/platform.h"

namespace kelpin::cli {

namespace {

struct PrototypesOptions {
    std::string file;
    std::string documentPath;
    std::string out;
    bool lf = false;
    bool addIn = false;
};

// The command as its help names and tells it.
constexpr CommandText Command = {"prototypes",
                                 "Print a header of the prototypes of the functions FILE defines"};

std::string WithBareLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::string::size_type i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

// The header from the precise scan: a guard that is one identifier, lines
// ended as the source ends its own.
std::string PrecisePrototypeHeader(const SourceText& source, const std::string& documentPath,
                                   bool lf) {
    std::string guard = IdentifierGuardName(documentPath.c_str());
    std::string_view end = !lf && EndsLinesWithCrlf(source.view()) ? "\r\n" : "\n";
    std::string header = PrototypeHeaderOpening(guard, end);
    for (const Listed& f : FunctionsOf(source, ScanKind::Precise, true))
        ((header += f.declaration) += ';') += end;
    return header += PrototypeHeaderClosing(guard, end);
}

int RunPrototypes(const PrototypesOptions& options) {
    if (!options.out.empty() && !CheckOutputIsNoInput(options.out, {options.file}))
        return ExitUsage;
    // Writing OUT holds its folder's lock from reading FILE to the replace.
    std::optional<FolderLockScope> lock;
    if (!options.out.empty()) lock.emplace(WriteTarget(options.out).c_str());
    SourceText source;
    if (!ReadSourceText(options.file, &source)) return ExitInput;
    std::string path =
        options.documentPath.empty() ? DocumentPath(options.file) : options.documentPath;
    std::string listing;
    if (options.addIn) {
        // The host opens no listing on an empty text, and hands over at most
        // 259 characters of the document path.
        if (source.size == 0) {
            PrintError(options.file + ": empty file, no functions to list");
            return ExitNothing;
        }
        path.resize(std::min<std::size_t>(path.size(), sizeof HostDocumentInfo::path - 1));
        listing = PrototypeListing(source.c_str(), path.c_str());
        if (options.lf) listing = WithBareLineFeeds(listing);
    } else {
        listing = PrecisePrototypeHeader(source, path, options.lf);
    }
    return WriteResult(options.out, listing);
}

} // namespace

void AddPrototypesCommand(CLI::App& app, Commands& commands) {
    auto [command, options] = AddCommand<PrototypesOptions>(commands, app, Command, RunPrototypes);
    AddFileArgument(command, &options.file);
    AddValueOption(command, "--path", &options.documentPath, "DOCPATH",
                   "document path the guard is named after (default: FILE's absolute path "
                   "with \"\\\" separators)");
    AddOutputOption(command, "-o,--output", &options.out,
                    "write to OUT (replaced atomically; never FILE itself) instead of standard "
                    "output");
    command->add_flag("--lf", options.lf, "end lines with a bare line feed");
    AddAddInFlag(command, &options.addIn,
                 "the text the add-in's \"Function prototypes\" shows: its scanner, its guard "
                 "name, lines ended \"\\r\\n\"");
    command->footer(
        "The guard is named after the document path's file name without its extension,\n"
        "upper-cased, every character that cannot stand in a C identifier as \"_\"\n"
        "(\"__MY_SHAPES_H__\"). Lines end as FILE's do (\"\\r\\n\" when most of its lines\n"
        "do), or in a bare line feed with --lf. Each declaration is the header as the\n"
        "precise scan read it, on one line.");
}

} // namespace kelpin::cli
