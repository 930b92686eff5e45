// kelpin tags: a tags file of the functions the precise scan finds, as Vim
// and other editors read it.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "output.h"
#include "platform/platform.h"
#include "scanner/precise.h"
#include "tree.h"

namespace kelpin::cli {

namespace {

struct TagsOptions {
    std::vector<std::string> paths;
    std::string out = "tags";
    int jobs = 0;
    std::string extensions;
};

// The header lines sort before every tag: "!" comes before any name's first
// character.
const char TagsHeader[] = "!_TAG_FILE_FORMAT\t2\t/extended format/\n"
                          "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/\n"
                          "!_TAG_PROGRAM_NAME\tkelpin\t//\n"
                          "!_TAG_PROGRAM_VERSION\t1.5\t//\n";

int RunTags(const TagsOptions& options) {
    std::vector<std::string> extensions;
    if (!WalkExtensions(options.extensions, &extensions)) return ExitUsage;

    // Every file's tag lines, kept whole; the lines are sorted as views
    // into them.
    std::vector<std::string> chunks;
    std::vector<std::string_view> lines;
    int status = ForEachFile(
        options.paths.empty() ? std::vector<std::string>{"."} : options.paths, extensions,
        options.jobs,
        [](const std::string& path) {
            FileOutcome outcome;
            if (path.find_first_of("\t\r\n") != std::string::npos) {
                outcome.problem = "a tab or line end in the name: no tags file can name it";
                return outcome;
            }
            FileBytes file;
            outcome.error = ReadFileBytes(path, &file);
            if (outcome.error != 0) return outcome;
            PreciseScan scan;
            ScanPrecise(file.view(), &scan);
            // NAME, tab, FILE, tab, the line as the address, then the kind.
            for (const PreciseFunction& f : scan.functions) {
                outcome.text += PreciseName(file.view(), f);
                ((outcome.text += '\t') += path) += '\t';
                (outcome.text += std::to_string(f.start)) += ";\"\tf\n";
            }
            return outcome;
        },
        [&](std::string& text) { chunks.push_back(std::move(text)); });
    for (const std::string& chunk : chunks) {
        std::string_view rest = chunk;
        while (!rest.empty()) {
            std::size_t feed = rest.find('\n');
            lines.push_back(rest.substr(0, feed + 1));
            rest.remove_prefix(feed + 1);
        }
    }
    // Byte order of whole lines: by name first, since the tab after a name
    // comes before any character a name may hold.
    std::sort(lines.begin(), lines.end());

    std::string text = TagsHeader;
    std::size_t size = text.size();
    for (std::string_view line : lines)
        size += line.size();
    text.reserve(size);
    for (std::string_view line : lines)
        text += line;
    chunks.clear();

    if (options.out == "-") {
        WriteStandardOutput(text);
        return status;
    }
    return ReplaceFile(options.out, text) ? status : ExitInput;
}

} // namespace

void AddTagsCommand(CLI::App& app, int* status) {
    auto options = std::make_shared<TagsOptions>();
    CLI::App* command = app.add_subcommand(
        "tags", "Write a tags file of the functions under PATH, for Vim and other editors");
    command->add_option("PATH", options->paths,
                        "C source files and directories (default: the current directory)");
    command
        ->add_option("-o,--output", options->out,
                     "write to OUT, replaced atomically (default: tags; - for standard output)")
        ->type_name("OUT");
    AddWalkOptions(command, &options->jobs, &options->extensions);
    command->footer(
        "Directories are walked as kelpin functions walks them. Each function the precise\n"
        "scan finds is one line, NAME<tab>FILE<tab>LINE;\"<tab>f, LINE that of its name, all\n"
        "sorted by byte order after the !_TAG_ header lines. FILE is the path as walked: Vim\n"
        "reads a relative one from the tags file's folder, so write the file in the folder\n"
        "the paths start from (the default does).");
    command->callback([options, status] { *status = RunTags(*options); });
}

} // namespace kelpin::cli
