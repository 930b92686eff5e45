#include <cstdio>
#include <string>

#include "addin/addin.h"
#include "cli.h"

int main(int argc, char** argv) {
    CLI::App app{"kelpin: function prototypes, current function, comment blocks and version\n"
                 "stamping for C sources, from the shell. Every command runs the add-in's own\n"
                 "code: the same scanner, listing, comment blocks and version module.",
                 "kelpin"};
    app.set_version_flag("--version", std::string("kelpin 1.5\nadd-in ") + kelpin::VersionString);
    app.require_subcommand(1);
    app.footer("Examples:\n"
               "  kelpin functions src/parser.c\n"
               "  kelpin functions --precise src include\n"
               "  kelpin tags\n"
               "  kelpin function src/parser.c --line 120 --json\n"
               "  kelpin prototypes src/parser.c -o include/parser.h\n"
               "  kelpin comment function src/parser.c --line 120 --synopsis \"Parses one line.\"\n"
               "  kelpin version bump version\n"
               "  kelpin lsp                     (started by an editor)\n"
               "Run kelpin COMMAND --help for a command's options. Exit status: 0 success,\n"
               "1 nothing to act on, 2 usage error, 3 input/output or format error.");
    app.fallthrough(false);

    int status = kelpin::cli::ExitOk;
    kelpin::cli::AddFunctionsCommands(app, &status);
    kelpin::cli::AddPrototypesCommand(app, &status);
    kelpin::cli::AddCommentCommand(app, &status);
    kelpin::cli::AddVersionCommand(app, &status);
    kelpin::cli::AddTagsCommand(app, &status);
    kelpin::cli::AddLspCommand(app, &status);

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
    return status;
}
