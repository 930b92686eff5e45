// The command-line tool's own face: help, version and usage errors.
#include <gmock/gmock.h>

#include <algorithm>

#include "cli_runner.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;

TEST(Cli, VersionNamesTheToolAndTheAddIn) {
    CliResult r = RunCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "kelpin 1.5\nadd-in Ver 00.00.00.01 - Build 0426\n");
}

TEST(Cli, HelpIsASuccess) {
    CliResult r = RunCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr("Usage:"));
}

TEST(Cli, UsageErrorsAreOneLineAndStatus2) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"no-such-command"}, {"--frobnicate"}}) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_THAT(r.err, HasSubstr("kelpin: "));
    }
}

TEST(Cli, NoCommandShowsHelpAsAUsageError) {
    CliResult r = RunCli({});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("Usage:"));
}

} // namespace
} // namespace kelpin::testing
