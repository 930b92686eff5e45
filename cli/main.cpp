#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "addin/addin.h"
#include "cli.h"
#include "kelpin_version.h"
#include "output.h"

namespace {

// The edits that turn a into b: inserted, deleted or changed characters.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A word where a command's name must stand that names none: false after an
// error line naming it and the nearest command. CLI11 would only say that a
// subcommand is required, or take the word for an argument it cannot place.
bool CheckCommandNames(CLI::App& app, int argc, char** argv) {
    CLI::App* level = &app;
    std::string path; // the commands so far, each followed by a blank
    for (int i = 1; i < argc; ++i) {
        std::string_view word = argv[i];
        if (word == "--") return true;
        if (word.empty() || word[0] == '-') continue; // options are CLI11's to check
        std::vector<CLI::App*> commands = level->get_subcommands({});
        if (commands.empty()) return true;
        auto known = std::find_if(commands.begin(), commands.end(),
                                  [&](CLI::App* c) { return c->check_name(std::string(word)); });
        if (known != commands.end()) {
            level = *known;
            path += (*known)->get_name() + " ";
            continue;
        }
        const CLI::App* nearest = *std::min_element(
            commands.begin(), commands.end(), [&](const CLI::App* a, const CLI::App* b) {
                return EditDistance(word, a->get_name()) < EditDistance(word, b->get_name());
            });
        kelpin::cli::PrintError("unknown command \"" + std::string(word) + "\"; the nearest is \"" +
                                path + nearest->get_name() + "\" (see kelpin " + path + "--help)");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"kelpin: function listings, current function, prototype headers, comment blocks\n"
                 "and version stamping for C sources, from the shell. Functions are found by a\n"
                 "precise scan that reads directives and #if branches as the preprocessor does;\n"
                 "--add-in gives exactly what the add-in gives in the IDE.",
                 "kelpin"};
    app.set_version_flag("--version",
                         std::string("kelpin " KELPIN_VERSION "\nadd-in ") + kelpin::VersionString);
    app.require_subcommand(1);
    app.footer("Examples:\n"
               "  kelpin functions src/parser.c\n"
               "  kelpin functions src include\n"
               "  kelpin tags\n"
               "  kelpin symbols --kinds sgt include\n"
               "  kelpin function src/parser.c --line 120 --json\n"
               "  kelpin prototypes src/parser.c -o include/parser.h\n"
               "  kelpin comment function src/parser.c --name parse_line --synopsis \"Parses one "
               "line.\"\n"
               "  kelpin version bump src/version\n"
               "  kelpin lsp                     (started by an editor)\n"
               "Run kelpin COMMAND --help for a command's options. Exit status: 0 success,\n"
               "1 nothing to act on, 2 usage error, 3 input/output or format error.");
    app.fallthrough(false);

    kelpin::cli::Commands commands;
    kelpin::cli::AddFunctionsCommand(app, commands);
    kelpin::cli::AddFunctionCommand(app, commands);
    kelpin::cli::AddPrototypesCommand(app, commands);
    kelpin::cli::AddCommentCommand(app, commands);
    kelpin::cli::AddVersionCommand(app, commands);
    kelpin::cli::AddTagsCommand(app, commands);
    kelpin::cli::AddSymbolsCommand(app, commands);
    kelpin::cli::AddLspCommand(app, commands);

    if (!CheckCommandNames(app, argc, argv)) return kelpin::cli::ExitUsage;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        if (argc == 1) {
            std::fputs(app.help().c_str(), stderr);
            return kelpin::cli::ExitUsage;
        }
        kelpin::cli::PrintError(std::string(e.what()) + " (see kelpin --help)");
        return kelpin::cli::ExitUsage;
    }
    // Whatever the command wrote must have reached standard output.
    if (!kelpin::cli::FinishStandardOutput()) return kelpin::cli::ExitInput;
    return commands.status;
}
