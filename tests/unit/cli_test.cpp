// The command-line tool's own face: its commands as --help shows them, its
// version wherever it shows, and usage errors.
#include <gmock/gmock.h>

#include <sstream>

#include "cli_runner.h"
#include "kelpin_version.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;

// The commands a help text lists under "Subcommands:", up to the blank line.
std::vector<std::string> CommandsListed(const std::string& help) {
    std::vector<std::string> commands;
    std::size_t at = help.find("\nSubcommands:\n");
    std::istringstream lines(at == std::string::npos ? "" : help.substr(at + 14));
    for (std::string line; std::getline(lines, line) && !line.empty();)
        commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    return commands;
}

// Every command --help lists answers its own --help, naming itself in its
// usage line; the walk ends at the commands that run.
TEST(Cli, EveryCommandListedAnswersItsOwnHelp) {
    std::vector<std::string> pending = {""}, leaves;
    while (!pending.empty()) {
        std::string path = pending.back();
        pending.pop_back();
        std::vector<std::string> args;
        std::istringstream words(path);
        for (std::string word; words >> word;)
            args.push_back(word);
        args.push_back("--help");
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 0) << path;
        EXPECT_THAT(r.out, HasSubstr("\nUsage: kelpin" + path + " [OPTIONS]")) << r.out;
        std::vector<std::string> listed = CommandsListed(r.out);
        if (listed.empty()) leaves.push_back(path);
        for (const std::string& command : listed)
            pending.push_back(path + " " + command);
    }
    EXPECT_THAT(leaves,
                UnorderedElementsAre(" functions", " function", " prototypes", " comment function",
                                     " comment module", " version bump", " version show",
                                     " version set", " tags", " symbols", " lsp"));
}

// One version, the same in --version, in the tags file's header and in what
// the language server tells the editor.
TEST(Cli, OneVersionEverywhereItShows) {
    CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out, StartsWith("kelpin " KELPIN_VERSION "\nadd-in Ver "));

    TempDir dir;
    WriteFile(dir / "a.c", "int a;\n");
    EXPECT_THAT(RunCli({"tags", "-o", "-", dir / "a.c"}).out,
                HasSubstr("\n!_TAG_PROGRAM_VERSION\t" KELPIN_VERSION "\t//\n"));

    std::string initialize = R"({"id":1,"method":"initialize","params":{"capabilities":{}}})";
    CliResult lsp =
        RunCli({"lsp"}, {.input = "Content-Length: " + std::to_string(initialize.size()) +
                                  "\r\n\r\n" + initialize});
    EXPECT_THAT(lsp.out,
                HasSubstr(R"("serverInfo":{"name":"kelpin","version":")" KELPIN_VERSION R"("})"));
}

// A mistyped command is one error line naming the nearest command at its
// level; nothing runs.
TEST(Cli, MistypedCommandsNameTheNearestOne) {
    CliResult r = RunCli({"comment", "functoin", "x.c"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kelpin: unknown command \"functoin\"; the nearest is \"comment function\" "
                     "(see kelpin comment --help)\n");
    EXPECT_EQ(r.out, "");
    // No command at all: the help, on standard error.
    CliResult none = RunCli({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, RunCli({"--help"}).out);
}

} // namespace
} // namespace kelpin::testing
