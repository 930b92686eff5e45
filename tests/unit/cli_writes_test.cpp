// What the CLI writes never loses what was there: outputs that are inputs,
// links, byte-order marks, files that are not text, standard output that
// cannot be written, and words that name no command.
#include <gmock/gmock.h>
#include <unistd.h>

#include <filesystem>

#include "cli_runner.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string Source = "#include <stdio.h>\n"
                           "\n"
                           "int alpha(int a) {\n"
                           "    return a;\n"
                           "}\n";

class CliWrites : public ::testing::Test {
  protected:
    void SetUp() override { WriteFile(file, Source); }
    TempDir dir;
    std::string file = dir / "ex.c";
};

TEST_F(CliWrites, AnOutputIsNeverOneOfTheInputs) {
    std::filesystem::create_symlink(file, dir / "link.c");
    std::string dotted = dir.path() + "/./ex.c";
    for (const std::string& out : {file, dotted, dir / "link.c"}) {
        for (const char* mode : {"--precise", "--add-in"}) {
            CliResult r = RunCli({"prototypes", mode, file, "-o", out});
            EXPECT_EQ(r.status, 2) << out;
            EXPECT_THAT(r.err, HasSubstr(": is the input " + file + "; not overwritten"));
        }
    }
    EXPECT_EQ(ReadFile(file), Source);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.c"));
}

// A tags file replaces only a tags file, never an input, and only when some
// file could be read.
TEST_F(CliWrites, ATagsFileReplacesOnlyATagsFile) {
    std::string stock = dir / "stock.c";
    WriteFile(stock, Source);
    CliResult r = RunCli({"tags", "-o", stock, file});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kelpin: " + stock +
                         ": does not look like a tags file; not replaced "
                         "(remove it first, or choose another -o)\n");
    r = RunCli({"tags", "-o", file, file});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr(": is the input " + file + "; not overwritten"));
    EXPECT_EQ(ReadFile(stock), Source);
    EXPECT_EQ(ReadFile(file), Source);

    std::string tags = dir / "tags";
    ASSERT_EQ(RunCli({"tags", "-o", tags, file}).status, 0);
    std::string written = ReadFile(tags);
    EXPECT_THAT(written, HasSubstr("alpha\t"));
    r = RunCli({"tags", "-o", tags, dir / "nosuch.c"});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err, HasSubstr("no file could be read; left as it was"));
    EXPECT_EQ(ReadFile(tags), written);
    // Through a link, the file it names.
    std::filesystem::create_symlink("tags", dir / "link-tags");
    ASSERT_EQ(RunCli({"tags", "--add-in", "-o", dir / "link-tags", file}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link-tags"));
    EXPECT_THAT(ReadFile(tags), HasSubstr("alpha\t" + file + "\t2;\"\tf\n"));
}

TEST_F(CliWrites, EditsThroughALinkEditTheTargetAndKeepTheLink) {
    std::string link = dir / "link.c";
    std::filesystem::create_symlink("ex.c", link);
    CliResult r = RunCli({"comment", "module", link, "--author", "me"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_THAT(ReadFile(file), HasSubstr(" Module   : link.c\n Created  : "));
    EXPECT_THAT(ReadFile(file), HasSubstr(" Author   : me\n"));

    // The header written through a link lands where the link leads.
    std::filesystem::create_symlink("real.h", dir / "link.h");
    ASSERT_EQ(RunCli({"prototypes", file, "-o", dir / "link.h"}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.h"));
    EXPECT_THAT(ReadFile(dir / "real.h"), HasSubstr("int alpha(int a);\n"));
}

TEST_F(CliWrites, AByteOrderMarkStaysFirst) {
    const std::string mark = "\xEF\xBB\xBF";
    WriteFile(file, mark + Source);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"comment", "module", file, "--author", "me"},
          {"comment", "function", file, "--name", "alpha", "--input", "a"},
          {"comment", "module", "--add-in", file, "--status", "ok"}}) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_THAT(ReadFile(file), StartsWith(mark + "/*-@@+@@")) << args[1];
    }
    std::string text = ReadFile(file);
    EXPECT_EQ(text.find(mark, 1), std::string::npos);
    EXPECT_TRUE(text.ends_with("@@-@@-*/\nint alpha(int a) {\n    return a;\n}\n"));
    // The mark is no part of the first declaration either.
    WriteFile(file, mark + Source.substr(20));
    EXPECT_EQ(RunCli({"functions", "--json", file}).out,
              "[\n  {\"name\":\"alpha\",\"declaration\":\"int alpha(int a)\",\"start\":1,"
              "\"end\":3}\n]\n");
}

TEST_F(CliWrites, AFileThatIsNotTextIsNotEdited) {
    std::string binary = "\x7f"
                         "ELF\x02\x01" +
                         std::string(40, '\0') + Source;
    WriteFile(file, binary);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"comment", "module", file, "--author", "X"},
          {"comment", "function", file, "--line", "3", "--input", "X"}}) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 3) << args[1];
        EXPECT_EQ(r.err, "kelpin: " + file +
                             ": not a text file (a NUL byte at offset 6); "
                             "not edited\n");
    }
    EXPECT_EQ(ReadFile(file), binary);
}

TEST_F(CliWrites, AFailureToWriteStandardOutputIsExit3InEveryCommand) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"functions", file},
          {"functions", "--json", file},
          {"functions", "--add-in", file},
          {"functions", dir.path()},
          {"function", file, "--line", "4"},
          {"prototypes", file},
          {"comment", "function", file, "--line", "4", "--show"},
          {"comment", "module", file, "--show", "--json"},
          {"comment", "function", file, "--line", "4", "--stdout", "--input", "a"},
          {"tags", "-o", "-", file}}) {
        CliProcess process = StartCli(args, {.stdoutPath = "/dev/full"});
        CliResult r = WaitCli(process);
        EXPECT_EQ(r.status, 3) << ::testing::PrintToString(args);
        EXPECT_EQ(r.err, "kelpin: standard output: No space left on device\n")
            << ::testing::PrintToString(args);
    }
    EXPECT_EQ(ReadFile(file), Source);
}

TEST_F(CliWrites, AWordThatNamesNoCommandNamesTheNearest) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"fnctions", file},
         "unknown command \"fnctions\"; the nearest is \"functions\" (see "
         "kelpin --help)"},
        {{"prototype", file},
         "unknown command \"prototype\"; the nearest is \"prototypes\" (see "
         "kelpin --help)"},
        {{"comment", "modul", file},
         "unknown command \"modul\"; the nearest is \"comment module\" (see kelpin comment "
         "--help)"},
        {{"version", "bmp", "v"},
         "unknown command \"bmp\"; the nearest is \"version bump\" (see kelpin version --help)"},
    };
    for (const auto& [args, message] : cases) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "kelpin: " + message + "\n");
    }
    // Options and their values are CLI11's: a value is no command.
    EXPECT_THAT(RunCli({"comment", "function", file, "--line", "4", "--synopsis", "x"}).err,
                ::testing::IsEmpty());
    EXPECT_THAT(RunCli({"function", file, "--line", "0"}).err,
                HasSubstr("--line: 0 is not a line number (1 to 999999999)"));
    EXPECT_THAT(RunCli({"functions", "-j", "0", file}).err,
                HasSubstr("--jobs: 0 is not a number from 1 to 1024"));
}

} // namespace
} // namespace kelpin::testing
