// kelpin version, run as a Makefile would run it.
#include <gmock/gmock.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>

#include "version_fixture.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Every run works in the test's own empty current directory (VersionTest),
// so that relative names, and the messages that name them, are short.
class VersionCli : public VersionTest {
  protected:
    std::string Final(const char* version) {
        return std::string("VersionString[] = \"") + version + "\"; - 16:54:26, Sep 27 2005\n";
    }
    std::string Module() { return dir / "version"; }

    // Every file under the current directory, as relative paths.
    std::set<std::string> Files() {
        std::set<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator("."))
            if (entry.is_regular_file())
                files.insert(std::filesystem::relative(entry.path(), ".").string());
        return files;
    }
};

// A word for sh, in single quotes.
std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The C compiler of the machine: gcc, else cc; empty when there is none.
std::string CCompiler() {
    for (const char* name : {"gcc", "cc"})
        if (std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0)
            return name;
    return "";
}

// However the module is spelled, its files are PATH.c and PATH.h, the source
// includes the header by its own file name and the guard is that name made an
// identifier: the source compiles from any directory, a program that includes
// the header links with it, and the add-in's build step reads the files and
// counts on from them (and the CLI from the add-in's).
TEST_F(VersionCli, EverySpellingWritesAModuleThatCompilesAndTheAddInReads) {
    struct Case {
        std::string argument, path, include, guard;
    };
    ASSERT_EQ(::mkdir("sub", 0755), 0);
    ASSERT_EQ(::mkdir("elsewhere", 0755), 0);
    const std::string absolute = dir.path() + "/sub/abs";
    const std::vector<Case> cases{
        {"ver", "ver", "ver", "ver"},
        {"sub/three.c", "sub/three", "three", "three"},
        {"sub/four.h", "sub/four", "four", "four"},
        {"./sub/../sub/my-ver 5.c", "./sub/../sub/my-ver 5", "my-ver 5", "my_ver_5"},
        {"sub/v6.c.c", "sub/v6.c", "v6.c", "v6_c"},
        {"sub/versi\xC3\xB3n", "sub/versi\xC3\xB3n", "versi\xC3\xB3n", "versi__n"},
        {absolute + ".c", absolute, "abs", "abs"},
    };
    const std::string compiler = CCompiler();
    if (compiler.empty()) std::fprintf(stderr, "no C compiler: the modules are not compiled\n");

    StartProject(std::nullopt);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        std::set<std::string> before = Files();
        CliResult r = RunCli({"version", "bump", c.argument});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Creating version source file \"" + c.path + ".c\"\n" +
                             "Creating version header file \"" + c.path + ".h\"\n" +
                             Final("Ver 00.00.00.01 - Build 0001"));
        EXPECT_EQ(ReadFile(c.path + ".c"), SourceText(c.include, 0, 0, 0, 1, 1));
        EXPECT_EQ(ReadFile(c.path + ".h"), HeaderText(c.guard));
        std::set<std::string> written;
        for (const std::string& file : Files())
            if (!before.count(file)) written.insert(file);
        EXPECT_EQ(written.size(), 2u);
        EXPECT_TRUE(Exists(c.path + ".c") && Exists(c.path + ".h"));

        if (!compiler.empty()) {
            // The header twice, its guard defined by the first; the source
            // compiled by the path as given, from this directory.
            WriteFile("elsewhere/main.c", "#include \"" +
                                              std::filesystem::absolute(c.path + ".h").string() +
                                              "\"\n#ifndef __" + c.guard +
                                              "_h__\n#error no guard\n#endif\n#include \"" +
                                              std::filesystem::absolute(c.path + ".h").string() +
                                              "\"\nint main(void) {\n"
                                              "    return VersionBuild == 1 && VersionLSC == 1 && "
                                              "VersionString[0] == 'V' ? 0 : 1;\n}\n");
            std::string build = compiler + " -std=c99 -Wall -Wextra -pedantic -Werror -o prog " +
                                Quoted(c.path + ".c") + " elsewhere/main.c 2>&1";
            EXPECT_EQ(std::system(build.c_str()), 0) << build;
            EXPECT_EQ(std::system("./prog"), 0);
            std::remove("prog");
            std::remove("elsewhere/main.c");
        }

        // show and set take the same spellings.
        EXPECT_EQ(RunCli({"version", "show", c.argument}).out, "Ver 00.00.00.01 - Build 0001\n");
        r = RunCli({"version", "set", c.argument, "1.2.3.4"});
        EXPECT_EQ(r.out, "Ver 01.02.03.04 - Build 0001\n") << r.err;
        EXPECT_EQ(ReadFile(c.path + ".c"), SourceText(c.include, 1, 2, 3, 4, 1));

        // The add-in's build step reads the module and writes its own source
        // file, folders and all in the include line; the header stays.
        mainWindow().output.clear();
        projectWindow().symbols["VERSION"] = c.path;
        Build();
        EXPECT_THAT(headless::MessageBoxes(), IsEmpty());
        ASSERT_FALSE(mainWindow().output.empty());
        EXPECT_EQ(mainWindow().output.back().text + "\n", Final("Ver 01.02.03.04 - Build 0002"));
        EXPECT_EQ(ReadFile(c.path + ".c"), SourceText(c.path, 1, 2, 3, 4, 2));
        EXPECT_EQ(ReadFile(c.path + ".h"), HeaderText(c.guard));
        // ... and the CLI reads the add-in's.
        r = RunCli({"version", "bump", c.argument});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadFile(c.path + ".c"), SourceText(c.include, 1, 2, 3, 4, 3));
    }
}

// With --add-in the files are the add-in's, byte for byte: the name
// unchanged in the file names, the include line and the guard.
TEST_F(VersionCli, AddInModeWritesTheAddInsFiles) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"version", "bump", "--add-in", Module()},
          std::vector<std::string>{"version", "bump", Module(), "--add-in"}}) {
        CliResult r = RunCli(command);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(ReadFile(Module() + ".c"), SourceText(Module(), 0, 0, 0, 1, 2));
    EXPECT_EQ(ReadFile(Module() + ".h"), HeaderText(Module()));

    CliResult r = RunCli({"version", "set", "--add-in", Module(), "1.0.0.0"});
    EXPECT_EQ(r.out, "Ver 01.00.00.00 - Build 0002\n") << r.err;
    EXPECT_EQ(ReadFile(Module() + ".c"), SourceText(Module(), 1, 0, 0, 0, 2));
    EXPECT_EQ(RunCli({"version", "show", "--add-in", Module()}).out,
              "Ver 01.00.00.00 - Build 0002\n");

    // The name is the name: "version.c" is the module of version.c.c.
    r = RunCli({"version", "bump", "--add-in", "version.c"});
    EXPECT_THAT(r.out, HasSubstr("Creating version source file \"version.c.c\"\n"));
    EXPECT_EQ(ReadFile("version.c.c"), SourceText("version.c", 0, 0, 0, 1, 1));
    EXPECT_EQ(ReadFile("version.c.h"), HeaderText("version.c"));
}

TEST_F(VersionCli, BumpWorksWhateverTheStoredVersioningSetting) {
    // The stored setting says off (a fresh settings folder): bump still runs,
    // and leaves the setting as it was.
    CliResult r = RunCli({"version", "bump", Module()});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Exists(Module() + ".c"));
}

TEST_F(VersionCli, ShowPrintsTheVersionLineOrJson) {
    WriteFile("version.c", SourceText("version", 1, 2, 30, 4, 56));
    ASSERT_EQ(::chmod("version.c", 0444), 0); // read-only is readable
    CliResult r = RunCli({"version", "show", "version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Ver 01.02.30.04 - Build 0056\n");
    r = RunCli({"version", "show", "version.c", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"msc\":1,\"sc2\":2,\"sc3\":30,\"lsc\":4,\"build\":56}\n");
}

TEST_F(VersionCli, SetSavesLikeTheDialogsOk) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 1, 17));
    WriteFile("version.h", "kept\n");
    CliResult r = RunCli({"version", "set", "version", "2.007.0.31"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Ver 02.07.00.31 - Build 0017\n");
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 2, 7, 0, 31, 17));
    EXPECT_EQ(ReadFile("version.h"), "kept\n");

    r = RunCli({"version", "set", "version", "2.7.0.31", "--build", "9999"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 2, 7, 0, 31, 9999));
}

TEST_F(VersionCli, SetRefusesValuesOutOfRangeWithStatus2) {
    std::string numbers = SourceText("version", 0, 0, 0, 1, 17);
    WriteFile("version.c", numbers);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"1.2.3.100"},
                                               {"1.2.3"},
                                               {"1.2.3.4.5"},
                                               {"1.2..4"},
                                               {"1.-2.3.4"},
                                               {"a.b.c.d"},
                                               {"1.2.3.4", "--build", "10000"},
                                               {"1.2.3.4", "--build", "-1"},
                                               {"1.2.3.4", "--build", "1e3"}}) {
        std::vector<std::string> command{"version", "set", "version"};
        command.insert(command.end(), args.begin(), args.end());
        CliResult r = RunCli(command);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("kelpin: ", 0), 0u) << r.err;
    }
    EXPECT_EQ(ReadFile("version.c"), numbers);
}

// Each error names the file with its extension, says what went wrong in the
// add-in's words and then the system's reason or what to do; the files stay
// as they were.
TEST_F(VersionCli, ErrorsNameTheFileAndSayWhy) {
    const std::string notes = "; mend it, or delete v.c: the next bump starts it again at "
                              "00.00.00.01 build 0001)\n";
    const std::string badFormat =
        "Wrong internal format! (line 6 must begin char VersionString[]=\"Ver NN.NN.NN.NN - "
        "Build NNNN, N a digit" +
        notes;
    const std::string lines5 = "1\n2\n3\n4\n5\n";
    const std::string created = "Creating version source file \"v.c\"\n";
    struct Case {
        std::function<void()> setUp;
        std::vector<std::string> args;
        int status;
        std::string out, err;
    };
    auto file = [](const char* path, std::string text, mode_t mode = 0644) {
        return [=] {
            WriteFile(path, text);
            ::chmod(path, mode);
        };
    };
    auto nothing = [] {};
    const std::vector<Case> cases{
        // A file of 0 bytes.
        {file("v.c", ""), {"bump", "v"}, 3, created, "kelpin: v.c: " + badFormat},
        {file("v.c", ""), {"show", "v.c"}, 3, "", "kelpin: v.c: " + badFormat},
        {file("v.c", ""),
         {"set", "v", "1.0.0.0"},
         3,
         "",
         "kelpin: v.c: Can't read version data. Maybe file format is uncorrect! (line 6 must "
         "begin char VersionString[]=\"Ver NN.NN.NN.NN - Build NNNN, N a digit" +
             notes},
        // Line 6 without its line feed, or too long.
        {file("v.c", lines5 + "char VersionString[]=\"Ver 00.00.00.01 - Build 0001\";"),
         {"show", "v"},
         3,
         "",
         "kelpin: v.c: Unexpected EOF or read error (the file ends before line 6 does" + notes},
        {file("v.c", lines5 + std::string(2048, 'x') + "\n"),
         {"bump", "v"},
         3,
         created,
         "kelpin: v.c: Error: File line too long (line 6 has 2048 characters or more" + notes},
        // The last version.
        {file("v.c", SourceText("v", 99, 99, 99, 99, 9999)),
         {"bump", "v"},
         3,
         created,
         "kelpin: v.c: Exeeded maximum versioning (99.99.99.99 build 9999 is the last; lower the "
         "numbers with kelpin version set v A.B.C.D --build N)\n"},
        {file("my v.c", SourceText("my v", 99, 99, 99, 99, 9999)),
         {"bump", "--add-in", "my v"},
         3,
         "Creating version source file \"my v.c\"\n",
         "kelpin: my v.c: Exeeded maximum versioning (99.99.99.99 build 9999 is the last; lower "
         "the numbers with kelpin version set --add-in 'my v' A.B.C.D --build N)\n"},
        // Files that cannot be written or read.
        {file("v.c", SourceText("v", 0, 0, 0, 1, 1), 0444),
         {"bump", "v"},
         3,
         created,
         "kelpin: v.c: Cannot create output file! (Permission denied)\n"},
        {[] { ::mkdir("v.h", 0755); },
         {"bump", "v"},
         3,
         created,
         "kelpin: v.h: Cannot create output file! (Is a directory)\n"},
        {nothing,
         {"bump", "nowhere/v"},
         3,
         "Creating version source file \"nowhere/v.c\"\n",
         "kelpin: nowhere/v.c: Cannot create output file! (No such file or directory)\n"},
        {nothing,
         {"show", "my v"},
         3,
         "",
         "kelpin: my v.c: No such file or directory (kelpin version bump 'my v' creates it)\n"},
        {nothing,
         {"set", "v", "1.0.0.0"},
         3,
         "",
         "kelpin: v.c: The file doesn't exist. Compile project before! (No such file or "
         "directory; kelpin version bump v creates it)\n"},
        {file("v.c", SourceText("v", 0, 0, 0, 1, 1), 0444),
         {"set", "v", "1.0.0.0"},
         3,
         "",
         "kelpin: v.c: The file doesn't exist. Compile project before! (Permission denied; a "
         "file that cannot be written counts as missing)\n"},
        // Arguments.
        {nothing,
         {"set", "v", "1.0.0.0", "--build", "10000"},
         2,
         "",
         "kelpin: --build: 10000 is not a number from 0 to 9999 (see kelpin --help)\n"},
        {nothing,
         {"bump", "sub/"},
         2,
         "",
         "kelpin: sub/: names no module: give DIR/NAME or DIR/NAME.c, where NAME is not empty "
         "and holds no \", \\ or line break\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"version"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        std::filesystem::remove_all("v.c");
        std::filesystem::remove_all("v.h");
        std::filesystem::remove_all("my v.c");
        c.setUp();
        std::set<std::string> files = Files();
        std::string source = ReadFile("v.c");
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        // Nothing is written; but the source is rewritten before the
        // header is made, so a header's failure leaves a new source behind.
        if (c.err.find("v.h:") == std::string::npos) {
            EXPECT_EQ(Files(), files);
            EXPECT_EQ(ReadFile("v.c"), source);
        } else {
            EXPECT_EQ(ReadFile("v.c"), SourceText("v", 0, 0, 0, 1, 1));
        }
    }
}

// Standard output that cannot be written is an error of its own, after the
// files were written.
TEST_F(VersionCli, StandardOutputThatFailsIsAnError) {
    WriteFile("v.c", SourceText("v", 0, 0, 0, 1, 1));
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"version", "show", "v"},
                                               {"version", "show", "--json", "v"},
                                               {"version", "bump", "v"},
                                               {"version", "set", "v", "1.0.0.0"}}) {
        SCOPED_TRACE(command[1]);
        CliResult r = RunCli(command, {.stdoutPath = "/dev/full"});
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.err, "kelpin: standard output: No space left on device\n");
    }
    EXPECT_EQ(ReadFile("v.c"), SourceText("v", 1, 0, 0, 0, 2));
}

TEST_F(VersionCli, EmptyNameIsAUsageError) {
    EXPECT_EQ(RunCli({"version", "bump", ""}).status, 2);
    EXPECT_EQ(RunCli({"version", "set", "", "1.0.0.0"}).status, 2);
    EXPECT_EQ(RunCli({"version"}).status, 2);
}

} // namespace
} // namespace kelpin::testing
