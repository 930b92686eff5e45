// kelpin functions --add-in and kelpin function --add-in, run as the built
// program on files of our own: the add-in's listing and lookup, JSON text a
// byte a character, and exit statuses.
#include <gmock/gmock.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using json = nlohmann::json;

class FunctionsCli : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("kelpin-functions-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = (dir / name).string();
        WriteFile(path, bytes);
        return path;
    }
    // Runs kelpin COMMAND --add-in with the rest of args.
    static CliResult Run(std::vector<std::string> args) {
        args.insert(args.begin() + 1, "--add-in");
        return RunCli(args);
    }
    static std::vector<std::string> With(std::vector<std::string> args, const std::string& file) {
        args.insert(args.begin() + 1, file);
        return args;
    }

    std::filesystem::path dir;
};

const std::string Sample = "#include <stdio.h>\n"       // 1
                           "\n"                         // 2
                           "static int \n"              // 3
                           "count(const char *s)\n"     // 4
                           "{\n"                        // 5
                           "    int n = 0;\n"           // 6
                           "    while (*s) { s++; }\n"  // 7
                           "    return n;\n"            // 8
                           "}\n"                        // 9
                           "int main(void) {\n"         // 10
                           "    return count(\"}\");\n" // 11
                           "}\n"                        // 12
                           "void open(int x)\n"         // 13
                           "{\n";                       // 14

TEST_F(FunctionsCli, ListsEveryFunctionAsATable) {
    CliResult r = Run({"functions", Write("sample.c", Sample)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "start  end  name\n"
                     "    4    9  count\n"
                     "    9   12  main\n"
                     "   13    -  open\n");
    EXPECT_THAT(r.err, IsEmpty());
}

TEST_F(FunctionsCli, ListsEveryFunctionAsJson) {
    CliResult r = Run({"functions", "--json", Write("sample.c", Sample)});
    ASSERT_EQ(r.status, 0);
    json list = json::parse(r.out);
    const json expected = json::array({
        {{"name", "count"},
         {"declaration", "static int count(const char *s)"},
         {"start", 4},
         {"end", 9}},
        {{"name", "main"}, {"declaration", "int main(void) "}, {"start", 9}, {"end", 12}},
        {{"name", "open"}, {"declaration", "void open(int x)"}, {"start", 13}, {"end", nullptr}},
    });
    EXPECT_EQ(list, expected);
    // Line ends of either kind give the same answer.
    std::string crlf;
    for (char c : Sample)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    CliResult same = Run({"functions", "--json", Write("crlf.c", crlf)});
    EXPECT_EQ(json::parse(same.out), list);
    EXPECT_EQ(Run({"functions", "--json", Write("empty.c", "")}).out, "[]\n");
}

TEST_F(FunctionsCli, JsonCarriesAnyByteAndTheWholeDeclaration) {
    const std::string head = "char *\xe9t\xe9 " + std::string(600, 'x') + " name";
    CliResult r =
        Run({"functions", "--json", Write("bytes.c", "\x01" + head + "(\x7f\xff)\n{\n}\n")});
    ASSERT_EQ(r.status, 0);
    json list = json::parse(r.out); // throws on invalid UTF-8
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["declaration"].get<std::string>().size(),
              1 + head.size() + 4 + 3); // three bytes of two
    EXPECT_EQ(list[0]["declaration"].get<std::string>().substr(0, 9), "\x01"
                                                                      "char *\u00e9");
    EXPECT_EQ(list[0]["name"], "name");
}

TEST_F(FunctionsCli, LargeFilesGiveTheSameList) {
    // Up to the last byte, whether or not the file fills its last page.
    const std::string functions = "int a(void)\n{\n}\nint b(void) {}\n";
    for (std::size_t size : {std::size_t(1) << 20, (std::size_t(1) << 20) + 1001}) {
        std::string text =
            "/*" + std::string(size - functions.size() - 5, '*') + "*/\n" + functions;
        ASSERT_EQ(text.size(), size);
        CliResult r = Run({"functions", Write("large.c", text)});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "start  end  name\n    2    4  a\n    4    5  b\n") << "size " << size;
    }
}

TEST_F(FunctionsCli, BinaryFileEndsAtItsFirstZeroByte) {
    CliResult r =
        Run({"functions", Write("bin", std::string("int f(void) {}\n\0int g(void) {}\n", 31))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "start  end  name\n    0    1  f\n");
}

TEST_F(FunctionsCli, UnreadableInputExitsWith3AndOneLine) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"functions"}, {"function", "--line", "1"}}) {
        CliResult missing = Run(With(command, (dir / "nowhere.c").string()));
        EXPECT_EQ(missing.status, 3);
        EXPECT_EQ(missing.err,
                  "kelpin: " + (dir / "nowhere.c").string() + ": No such file or directory\n");
        EXPECT_THAT(missing.out, IsEmpty());
        if (command.size() == 1) continue; // functions walks a directory: precise_cli_test.cpp
        CliResult directory = Run(With(command, dir.string()));
        EXPECT_EQ(directory.status, 3);
        EXPECT_EQ(directory.err, "kelpin: " + dir.string() + ": is a directory\n");
    }
}

TEST_F(FunctionsCli, FunctionAtALineIsTheOneCommand3Finds) {
    const std::string file = Write("sample.c", Sample);
    // Line by line: the header line belongs, the closing brace's line does
    // not; with the brace on the header line the line above belongs too.
    const std::vector<std::string> expected = {"",      "",      "",      "count", "count",
                                               "count", "count", "count", "main",  "main",
                                               "main",  "",      "open",  "open",  "open"};
    for (std::size_t line = 1; line <= expected.size(); ++line) {
        CliResult r = Run({"function", "--json", file, "--line", std::to_string(line)});
        if (expected[line - 1].empty()) {
            EXPECT_EQ(r.status, 1) << "line " << line;
            EXPECT_THAT(r.err, HasSubstr("You're not in a function body.")) << "line " << line;
            EXPECT_THAT(r.out, IsEmpty());
        } else {
            ASSERT_EQ(r.status, 0) << "line " << line << ": " << r.err;
            EXPECT_EQ(json::parse(r.out)["name"], expected[line - 1]) << "line " << line;
        }
    }
    const json count = {{"name", "count"},
                        {"declaration", "static int count(const char *s)"},
                        {"start", 4},
                        {"end", 9}};
    EXPECT_EQ(json::parse(Run({"function", "--json", file, "--line", "6"}).out), count);
    EXPECT_EQ(json::parse(Run({"function", "--json", file, "--line", "14"}).out)["end"], nullptr);
    CliResult text = Run({"function", file, "--line", "11"});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out,
              "name:        main\ndeclaration: int main(void) \nstart:       9\nend:         12\n");
}

TEST_F(FunctionsCli, FunctionKeepsTheRecordsDeclaration) {
    const std::string head = "static " + std::string(600, 'x') + " name";
    CliResult r =
        Run({"function", "--json", Write("long.c", head + "(void)\n{\n}\n"), "--line", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    json f = json::parse(r.out);
    EXPECT_EQ(f["declaration"], head.substr(0, 511));
    EXPECT_EQ(f["name"], "name");
}

TEST_F(FunctionsCli, LineMustBeAPositiveInteger) {
    const std::string file = Write("sample.c", Sample);
    for (const char* line : {"0", "-2", "x", "2.5", ""}) {
        CliResult r = Run({"function", file, "--line", line});
        EXPECT_EQ(r.status, 2) << "--line " << line;
        EXPECT_THAT(r.out, IsEmpty());
        EXPECT_NE(r.err, "");
    }
    EXPECT_EQ(Run({"function", file}).status, 2);
    // Past the last line no function holds it.
    EXPECT_EQ(Run({"function", file, "--line", "16"}).status, 1);
    EXPECT_EQ(Run({"function", file, "--line", "99999"}).status, 1);
}

} // namespace
} // namespace kelpin::testing
