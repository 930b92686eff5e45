// kelpin prototypes: the header text of the prototype listing for a source
// file, as dialog 1001 shows it, on stdout or in a file.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "cli.h"
#include "host/host.h"
#include "navigation/navigation.h"

namespace kelpin::cli {

namespace {

struct PrototypesOptions {
    std::string file;
    std::string documentPath;
    std::string out;
    bool lf = false;
    bool precise = false;
};

std::string WithBareLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::string::size_type i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

int RunPrototypes(const PrototypesOptions& options) {
    // Writing OUT holds its folder's lock from reading FILE (which may be OUT
    // itself) to the replace.
    std::optional<FolderLockScope> lock;
    if (!options.out.empty()) lock.emplace(options.out.c_str());
    SourceText source;
    if (!ReadSourceText(options.file, &source)) return ExitInput;
    std::string path =
        options.documentPath.empty() ? DocumentPath(options.file) : options.documentPath;
    // The host opens no listing on an empty text, and hands over at most
    // 259 characters of the document path.
    if (source.size == 0) {
        PrintError(options.file + ": empty file, no functions to list");
        return ExitNothing;
    }
    path.resize(std::min<std::size_t>(path.size(), sizeof HostDocumentInfo::path - 1));
    // The very text dialog 1001 shows for this file and path.
    std::string listing = options.precise
                              ? PrecisePrototypeListing({source.c_str(), source.size}, path)
                              : PrototypeListing(source.c_str(), path.c_str());
    if (options.lf) listing = WithBareLineFeeds(listing);
    if (!options.out.empty()) {
        if (!FileReplace(options.out.c_str(), listing)) {
            PrintError(options.out + ": cannot write the file");
            return ExitInput;
        }
        return ExitOk;
    }
    if (std::fwrite(listing.data(), 1, listing.size(), stdout) != listing.size() ||
        std::fflush(stdout) != 0) {
        PrintError("standard output: write error");
        return ExitInput;
    }
    return ExitOk;
}

} // namespace

void AddPrototypesCommand(CLI::App& app, int* status) {
    auto options = std::make_shared<PrototypesOptions>();
    CLI::App* command = app.add_subcommand(
        "prototypes", "Print the prototype header that \"Function prototypes\" shows for FILE");
    command->add_option("FILE", options->file, "C source file")->required();
    command
        ->add_option("--path", options->documentPath,
                     "document path the guard is named after (default: FILE's absolute "
                     "path with \"\\\" separators)")
        ->type_name("DOCPATH");
    command
        ->add_option("-o,--output", options->out,
                     "write to OUT (replaced atomically) instead of standard output")
        ->type_name("OUT");
    command->add_flag("--lf", options->lf, "end lines with a bare line feed instead of CRLF");
    command->add_flag("--precise", options->precise,
                      "list the functions the precise scan finds (see kelpin functions --help)");
    command->callback([options, status] { *status = RunPrototypes(*options); });
}

} // namespace kelpin::cli
