// Runs of kelpin that rewrite the same files at once, as make -j or an IDE
// and a script building one tree do: every run must count.
#include <gmock/gmock.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "version_fixture.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

// Many runs, so that they overlap however the processes are scheduled.
constexpr int Runs = 16;

TEST(ConcurrentRuns, BumpsAtOnceEachCountOnce) {
    TempDir dir;
    std::string module = dir / "version"; // its files include and guard "version"
    // From scratch: one of them creates the module, the others count on.
    std::vector<std::vector<std::string>> runs(Runs, {"version", "bump", module});
    std::vector<CliResult> results = RunCliAtOnce(runs);
    ASSERT_EQ(results.size(), static_cast<std::size_t>(Runs));
    int headerLines = 0;
    for (const CliResult& r : results) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        headerLines += r.out.find("Creating version header file") != std::string::npos;
    }
    EXPECT_EQ(headerLines, 1);
    EXPECT_EQ(ReadFile(module + ".c"), SourceText("version", 0, 0, 0, 1, Runs));
    EXPECT_EQ(ReadFile(module + ".h"), HeaderText("version"));

    // Again with two sets among the bumps: each set keeps the build number
    // it read and the bumps go on from what it wrote, so the build number
    // still ends up exactly one higher for each bump.
    WriteFile(module + ".c", SourceText(module, 1, 2, 3, 4, 100));
    runs.assign(Runs, {"version", "bump", module});
    runs[Runs / 3] = {"version", "set", module, "1.2.3.4"};
    runs[2 * Runs / 3] = {"version", "set", module, "1.2.3.4"};
    results = RunCliAtOnce(runs);
    for (const CliResult& r : results)
        EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(module + ".c"), SourceText("version", 1, 2, 3, 4, 100 + Runs - 2));
    EXPECT_EQ(ReadFile(module + ".h"), HeaderText("version"));
}

// One file, one function for each run, each with its block already there;
// every run edits its own function's block at the same time. No run's block
// may be lost to another's rewrite of the file.
TEST(ConcurrentRuns, CommentEditsOfOneFileKeepEveryBlock) {
    TempDir dir;
    std::string file = dir / "many.c";
    std::string source;
    for (int i = 0; i < Runs; ++i)
        source +=
            "int f" + std::to_string(i) + "(void)\n{\n    return " + std::to_string(i) + ";\n}\n\n";
    WriteFile(file, source);
    const std::vector<std::string> env = {"SOURCE_DATE_EPOCH=1126112066", "TZ=UTC"};

    // The blocks, one after the other. Each has as many lines as it will
    // have after the edit, so the line of each body stays where it is.
    auto bodyLine = [&file](int i) {
        std::string text = ReadFile(file);
        std::size_t at = text.find("    return " + std::to_string(i) + ";\n");
        return std::to_string(Count(text.substr(0, at), "\n") + 1);
    };
    for (int i = 0; i < Runs; ++i)
        ASSERT_EQ(RunCli({"comment", "function", file, "--line", bodyLine(i), "--synopsis", "old"},
                         {.env = env})
                      .status,
                  0);
    std::string before = ReadFile(file);
    ASSERT_EQ(Count(before, "Synopsys : old\n"), static_cast<std::size_t>(Runs));

    std::vector<std::vector<std::string>> runs;
    for (int i = 0; i < Runs; ++i)
        runs.push_back({"comment", "function", file, "--line", bodyLine(i), "--synopsis",
                        "new " + std::to_string(i)});
    for (const CliResult& r : RunCliAtOnce(runs, env))
        EXPECT_EQ(r.status, 0) << r.err;

    std::string after = ReadFile(file);
    EXPECT_EQ(Count(after, "/*-@@+@@"), static_cast<std::size_t>(Runs));
    EXPECT_EQ(Count(after, "@@-@@-*/"), static_cast<std::size_t>(Runs));
    EXPECT_EQ(Count(after, "/*"), Count(after, "*/"));
    EXPECT_EQ(Count(after, "Synopsys : old"), 0u);
    for (int i = 0; i < Runs; ++i) {
        // Appended, not "f" + ...: g++ 12 at -O3 warns falsely (-Wrestrict) on the latter.
        std::string name = "f";
        name += std::to_string(i);
        EXPECT_THAT(after, HasSubstr(" Procedure: " + name +
                                     "\n Created  : Wed Sep  7 16:54:26 2005\n Modified : Wed "
                                     "Sep  7 16:54:26 2005\n\n Synopsys : new " +
                                     std::to_string(i) + "\n"));
    }
    // Nothing else moved: only the synopsis lines differ.
    std::string expected = before;
    for (int i = 0; i < Runs; ++i) {
        std::size_t at = expected.find("Synopsys : old\n");
        expected.replace(at, 15, "Synopsys : new " + std::to_string(i) + "\n");
    }
    EXPECT_EQ(after, expected);
    // No lock file, no temporary file: the folder holds the one file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

} // namespace
} // namespace kelpin::testing
