// kelpin prototypes, run as a separate process the way a shell or a Makefile
// runs it.
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>

#include "cli_runner.h"

namespace kelpin::testing {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class PrototypesCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(source, "int parse(const char *s)\n{\n    return *s;\n}\n\n"
                          "void reset(void)\r\n{\r\n    count = 0;\r\n}\r\n");
    }

    TempDir directory;
    std::string source = directory / "parser.c";
    const std::string listing = "#ifndef __PARSER_H__\r\n"
                                "#define __PARSER_H__\r\n"
                                "\r\n"
                                "int parse(const char *s);\r\n"
                                "void reset(void);\r\n"
                                "\r\n"
                                "#endif\t// PARSER_H__\r\n";
};

TEST_F(PrototypesCommand, PrintsTheListingWithCrLfLineEnds) {
    CliResult r = RunCli({"prototypes", "--add-in", source});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, listing);
    EXPECT_EQ(r.err, "");
}

TEST_F(PrototypesCommand, LfGivesBareLineFeeds) {
    CliResult r = RunCli({"prototypes", "--add-in", "--lf", source});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "#ifndef __PARSER_H__\n#define __PARSER_H__\n\nint parse(const char *s);\n"
                     "void reset(void);\n\n#endif\t// PARSER_H__\n");
}

TEST_F(PrototypesCommand, TheGuardIsNamedAfterTheAbsolutePathByDefault) {
    std::filesystem::create_directories(directory / "my.lib");
    WriteFile(directory / "my.lib/net-io", "int f(void)\n{\n}\n");
    // "/" became "\", so the name runs from the last separator before the dot.
    CliResult r = RunCli({"prototypes", "--add-in", directory / "my.lib/net-io"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "#ifndef __MY_H__\r\n#define __MY_H__\r\n\r\nint f(void);\r\n\r\n"
                     "#endif\t// MY_H__\r\n");
}

TEST_F(PrototypesCommand, PathGivesTheDocumentPath) {
    CliResult r = RunCli({"prototypes", "--add-in", "--path", "C:\\work\\my.lib\\readme", source});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, StartsWith("#ifndef __MY_H__\r\n#define __MY_H__\r\n"));
    r = RunCli({"prototypes", "--add-in", "--path", "parser.c", source});
    EXPECT_THAT(r.out, EndsWith("void reset(void);\r\n\r\n#endif\t// foo_H__\r\n"));
    r = RunCli({"prototypes", "--add-in", "--path", "D:\\My Projects\\net io-2.c", source});
    EXPECT_THAT(r.out, StartsWith("#ifndef __NET IO-2_H__\r\n"));
}

TEST_F(PrototypesCommand, OutputFileIsReplacedAndNothingIsPrinted) {
    std::string header = directory / "parser.h";
    WriteFile(header, std::string(100000, '#'));
    CliResult r = RunCli({"prototypes", "--add-in", source, "-o", header});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(header), listing);
    EXPECT_EQ(r.out, "");
    r = RunCli({"prototypes", "--add-in", "--lf", "--output", header, source});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(header), "#ifndef __PARSER_H__\n#define __PARSER_H__\n\n"
                                "int parse(const char *s);\nvoid reset(void);\n\n"
                                "#endif\t// PARSER_H__\n");
}

TEST_F(PrototypesCommand, AnOutputThatCannotBeWrittenLeavesTheOldFile) {
    std::string header = directory / "parser.h";
    WriteFile(header, "old\n");
    std::filesystem::permissions(header, std::filesystem::perms::owner_read);
    CliResult r = RunCli({"prototypes", "--add-in", source, "-o", header});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(ReadFile(header), "old\n");
    EXPECT_EQ(r.err,
              "kelpin: " + header + ": cannot write: Permission denied; it is left as it was\n");

    r = RunCli({"prototypes", "--add-in", source, "-o", directory / "missing/parser.h"});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err, HasSubstr("missing/parser.h: cannot write: No such file or directory"));
}

TEST_F(PrototypesCommand, BadInputNamesTheFileOnOneLine) {
    std::string missing = directory / "missing.c";
    CliResult r = RunCli({"prototypes", "--add-in", missing});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kelpin: " + missing + ": No such file or directory\n");
    EXPECT_EQ(r.out, "");

    std::filesystem::create_directories(directory / "sub.c");
    r = RunCli({"prototypes", "--add-in", directory / "sub.c"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kelpin: " + directory / "sub.c" + ": is a directory\n");
}

TEST_F(PrototypesCommand, AnEmptyFileListsNothing) {
    WriteFile(directory / "empty.c", "");
    CliResult r = RunCli({"prototypes", "--add-in", directory / "empty.c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, StartsWith("kelpin: " + directory / "empty.c" + ": "));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

// Large files, whether or not they fill their last page, are listed up to
// their last byte.
TEST_F(PrototypesCommand, LargeFilesAreListedWhole) {
    for (std::size_t size : {std::size_t{1} << 20, (std::size_t{1} << 20) + 5}) {
        std::string text, prototypes;
        for (int i = 0; text.size() + 200 < size; ++i) {
            std::string declaration = "int f" + std::to_string(i) + "(void)";
            text += declaration + "\n{\n    return 0;\n}\n";
            prototypes += declaration + ";\r\n";
        }
        // The last function's closing brace is the file's last byte.
        std::string last = "int last(void)\n{\n    return 1;";
        text += last + std::string(size - text.size() - last.size() - 1, ' ') + "}";
        ASSERT_EQ(text.size(), size);
        WriteFile(directory / "big.c", text);
        CliResult r =
            RunCli({"prototypes", "--add-in", "--path", "C:\\big.c", directory / "big.c"});
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out == "#ifndef __BIG_H__\r\n#define __BIG_H__\r\n\r\n" + prototypes +
                                 "int last(void);\r\n\r\n#endif\t// BIG_H__\r\n")
            << "a file of " << size << " bytes";
    }
}

TEST_F(PrototypesCommand, ALongDocumentPathIsCutAsTheHostCutsIt) {
    // The host hands over 259 characters; the last "." falls beyond them.
    std::string path = "C:\\" + std::string(251, 'd') + "\\name.c";
    CliResult r = RunCli({"prototypes", "--add-in", "--path", path, source});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, StartsWith("#ifndef __foo_H__\r\n"));
    path = "C:\\" + std::string(240, 'd') + "\\name.c";
    r = RunCli({"prototypes", "--add-in", "--path", path, source});
    EXPECT_THAT(r.out, StartsWith("#ifndef __NAME_H__\r\n"));
}

TEST_F(PrototypesCommand, WithoutAFileItIsAUsageError) {
    CliResult r = RunCli({"prototypes"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
}

} // namespace
} // namespace kelpin::testing
