// kelpin functions over trees, the precise forms of functions, function and
// prototypes, and kelpin tags, run as the built program on trees of files
// the program model writes, so that every answer is known; the tags file is
// read back by a real Vim.
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "cli_runner.h"
#include "kelpin_version.h"
#include "scanner/lookup.h"
#include "scanner/precise.h"
#include "scanner/scanner.h"
#include "support/c_program_model.h"

namespace kelpin::testing {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using json = nlohmann::json;

// Runs program (kelpin when it is KELPIN_CLI) with args in the directory cwd.
CliResult RunAt(const std::string& cwd, const std::string& program,
                const std::vector<std::string>& args) {
    return RunCli(args, {.cwd = cwd, .program = program.c_str()});
}

// A JSON string read back as the bytes it carries (each character one byte).
std::string Latin1(const std::string& utf8) {
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xC0 && i + 1 < utf8.size()) {
            bytes += static_cast<char>(((c & 0x1F) << 6) |
                                       (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            bytes += static_cast<char>(c);
        }
    }
    return bytes;
}

// A tree of model programs, each file's functions known.
class PreciseTree : public ::testing::Test {
  protected:
    // Relative paths in byte order, as the walk must give them.
    const std::vector<std::string> listed = {"B.c",   "a-b.c", "a.c",         "a/deeper/y.h",
                                             "a/x.c", "b.c",   "link-file.c", "\xe9t\xe9.c"};

    void SetUp() override {
        root = dir.path() + "/root";
        std::uint32_t seed = 11;
        for (const std::string& name : listed) {
            if (name == "link-file.c") continue;
            std::filesystem::create_directories(
                std::filesystem::path(root + "/" + name).parent_path());
            std::mt19937 random(seed);
            Choices choices;
            choices.random = &random;
            programs[name] = ProgramBuilder(choices, {}, seed).Build(12);
            WriteFile(root + "/" + name, programs[name].text);
            ++seed;
        }
        programs["link-file.c"] = programs["a.c"];
        std::filesystem::create_symlink("a.c", root + "/link-file.c");
        // Not walked: a hidden directory, a link to a directory, another
        // extension.
        std::filesystem::create_directories(root + "/.hidden");
        WriteFile(root + "/.hidden/z.c", "int hidden(void) { }\n");
        std::filesystem::create_directory_symlink("a", root + "/link-dir");
        WriteFile(root + "/notes.txt", "int notes(void) { }\n");
    }

    // What --precise must list: PATH:START: NAME from the model.
    std::string ExpectedLines(const std::string& prefix) const {
        std::string out;
        for (const std::string& name : listed)
            for (const ExpectedFunction& f : programs.at(name).functions)
                out += prefix + name + ":" + std::to_string(f.start) + ": " + f.name + "\n";
        return out;
    }

    TempDir dir;
    std::string root;
    std::map<std::string, GeneratedProgram> programs;
};

TEST_F(PreciseTree, ListsTheTreeTheSameForEveryJobCount) {
    const std::string expected = ExpectedLines(root + "/");
    ASSERT_GT(expected.size(), 200u);
    for (const char* jobs : {"1", "2", "3", "7"}) {
        CliResult r = RunCli({"functions", "--precise", "-j", jobs, root});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_THAT(r.err, IsEmpty());
        EXPECT_EQ(r.out, expected) << "-j " << jobs;
    }
    // A path that ends in "/" gives the same names; the current directory's
    // files are named from it; a file named twice is listed once.
    EXPECT_EQ(RunCli({"functions", "--precise", root + "/"}).out, expected);
    EXPECT_EQ(RunAt(root, KELPIN_CLI, {"functions", "--precise", "."}).out, ExpectedLines(""));
    EXPECT_EQ(RunCli({"functions", "--precise", root + "/b.c", root + "/B.c", root + "/b.c"}).out,
              RunCli({"functions", "--precise", root + "/B.c", root + "/b.c"}).out);
    // --ext: only the files that end so.
    CliResult headers = RunCli({"functions", "--precise", "--ext", ".h", root});
    std::string onlyHeader;
    for (const ExpectedFunction& f : programs["a/deeper/y.h"].functions)
        onlyHeader += root + "/a/deeper/y.h:" + std::to_string(f.start) + ": " + f.name + "\n";
    EXPECT_EQ(headers.out, onlyHeader);
}

TEST_F(PreciseTree, WithAddInTheTreeTakesTheAddInsScan) {
    // Each file as the add-in's scanner reads it, in the same lines form.
    std::string expected;
    for (const std::string& name : listed) {
        struct Found {
            std::vector<std::pair<std::int32_t, std::string>> list;
        } found;
        ScanFunctions(
            programs[name].text.c_str(),
            [](std::int32_t line, const char* declaration, void* context) {
                static_cast<Found*>(context)->list.push_back(
                    {line, std::string(FunctionNameOf(declaration))});
            },
            nullptr, &found);
        for (const auto& [line, function] : found.list)
            expected += root + "/" + name + ":" + std::to_string(line) + ": " + function + "\n";
    }
    for (const char* jobs : {"1", "4"}) {
        CliResult r = RunCli({"functions", "--add-in", "-j", jobs, root});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, expected);
    }
}

TEST_F(PreciseTree, JsonLinesCarryTheFileForOneFileAndForMany) {
    CliResult r = RunCli({"functions", "--precise", "--jsonl", root});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::vector<json> objects;
    while (std::getline(lines, line))
        objects.push_back(json::parse(line)); // throws on invalid JSON or UTF-8
    std::size_t at = 0;
    for (const std::string& name : listed) {
        const GeneratedProgram& program = programs[name];
        PreciseScan scan;
        ScanPrecise(program.text, &scan);
        ASSERT_EQ(scan.functions.size(), program.functions.size());
        for (std::size_t i = 0; i < program.functions.size(); ++i, ++at) {
            ASSERT_LT(at, objects.size());
            const json& o = objects[at];
            const ExpectedFunction& f = program.functions[i];
            EXPECT_EQ(Latin1(o["file"]), root + "/" + name);
            EXPECT_EQ(o["name"], f.name);
            EXPECT_EQ(o["start"], f.start);
            EXPECT_EQ(o["end"], f.end);
            EXPECT_EQ(o["declaration"], PreciseDeclaration(program.text, scan, scan.functions[i]));
            EXPECT_EQ(std::vector<std::string>({"declaration", "end", "file", "name", "start"}),
                      [&] {
                          std::vector<std::string> keys;
                          for (auto it = o.begin(); it != o.end(); ++it)
                              keys.push_back(it.key());
                          return keys;
                      }());
        }
    }
    EXPECT_EQ(at, objects.size());
    // One file: the same objects, that file's alone.
    CliResult one = RunCli({"functions", "--precise", "--jsonl", root + "/a.c"});
    std::string ofA;
    for (const json& o : objects)
        if (Latin1(o["file"]) == root + "/a.c") ofA += o.dump() + "\n";
    std::string reparsed;
    std::istringstream oneLines(one.out);
    while (std::getline(oneLines, line))
        reparsed += json::parse(line).dump() + "\n";
    EXPECT_EQ(reparsed, ofA);
}

TEST_F(PreciseTree, OneFileIsATableOrAJsonArray) {
    const std::string file = root + "/a.c";
    const GeneratedProgram& program = programs["a.c"];
    std::size_t startWidth = 5, endWidth = 3;
    for (const ExpectedFunction& f : program.functions) {
        startWidth = std::max(startWidth, std::to_string(f.start).size());
        endWidth = std::max(endWidth, std::to_string(f.end).size());
    }
    auto row = [&](const std::string& start, const std::string& end, const std::string& name) {
        return std::string(startWidth - start.size(), ' ') + start +
               std::string(2 + endWidth - end.size(), ' ') + end + "  " + name + "\n";
    };
    std::string table = row("start", "end", "name");
    for (const ExpectedFunction& f : program.functions)
        table += row(std::to_string(f.start), std::to_string(f.end), f.name);
    EXPECT_EQ(RunCli({"functions", "--precise", file}).out, table);

    json array = json::parse(RunCli({"functions", "--precise", "--json", file}).out);
    ASSERT_EQ(array.size(), program.functions.size());
    for (std::size_t i = 0; i < array.size(); ++i) {
        EXPECT_EQ(array[i]["name"], program.functions[i].name);
        EXPECT_EQ(array[i]["start"], program.functions[i].start);
        EXPECT_EQ(array[i]["end"], program.functions[i].end);
        EXPECT_FALSE(array[i].contains("file"));
    }
    // A body that never closes ends in "-", or null.
    WriteFile(dir / "open.c", "int f(void)\n{\n");
    EXPECT_EQ(RunCli({"functions", "--precise", dir / "open.c"}).out,
              "start  end  name\n    1    -  f\n");
    EXPECT_EQ(
        json::parse(RunCli({"functions", "--precise", "--json", dir / "open.c"}).out)[0]["end"],
        nullptr);
}

TEST_F(PreciseTree, OneFileWithoutTheNewOptionsIsTheAddInsListing) {
    const std::string file = root + "/a.c";
    CliResult plain = RunCli({"functions", file});
    ASSERT_EQ(plain.status, 0);
    ASSERT_THAT(plain.out, HasSubstr("start  end  name\n"));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"functions", "-j", "3", file},
                                               {"functions", "--ext", "h", file},
                                               {"functions", file, "-j", "1"}})
        EXPECT_EQ(RunCli(args).out, plain.out);
}

TEST_F(PreciseTree, UnreadableFilesAreOneLineEachAndTheRestGoesOn) {
    std::filesystem::create_symlink("nowhere.c", root + "/a/dangling.c");
    CliResult r = RunCli({"functions", "--precise", "-j", "3", root, dir / "missing.c"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, ExpectedLines(root + "/"));
    // In byte order of the paths, as the files come.
    EXPECT_EQ(r.err, "kelpin: " + (dir / "missing.c") + ": No such file or directory\n" +
                         "kelpin: " + root + "/a/dangling.c: No such file or directory\n");
    // tags: the same lines, the file written with the rest.
    CliResult tags = RunAt(root, KELPIN_CLI, {"tags"});
    EXPECT_EQ(tags.status, 3);
    EXPECT_EQ(tags.err, "kelpin: a/dangling.c: No such file or directory\n");
    EXPECT_THAT(ReadFile(root + "/tags"), HasSubstr("!_TAG_FILE_SORTED\t1\t"));
}

TEST_F(PreciseTree, UsageErrorsAreOneLineAndStatus2) {
    const std::string file = root + "/a.c";
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"functions", "--json", root},
                                               {"functions", "--json", file, file + "x"},
                                               {"functions", "-j", "0", file},
                                               {"functions", "-j", "x", root},
                                               {"functions", "--json", "--jsonl", file},
                                               {"functions", "--ext", ",", root},
                                               {"functions"},
                                               {"tags", "-j", "0"},
                                               {"tags", "--ext", " , "}}) {
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_THAT(r.out, IsEmpty());
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(PreciseCli, FunctionHoldsTheLinesFromItsFirstToItsBrace) {
    TempDir dir;
    const std::string text = "#include <x.h>\n"   // 1
                             "static int\n"       // 2
                             "count(a)\n"         // 3
                             "int a;\n"           // 4
                             "{\n"                // 5
                             "    return a;\n"    // 6
                             "}\n"                // 7
                             "\n"                 // 8
                             "int main(void) {\n" // 9
                             "#ifdef X\n"         // 10
                             "    if (x) {\n"     // 11
                             "#else\n"            // 12
                             "    if (y) {\n"     // 13
                             "#endif\n"           // 14
                             "    }\n"            // 15
                             "}\n"                // 16
                             "void open(void)\n"  // 17
                             "{\n";               // 18
    const std::string file = dir / "f.c";
    WriteFile(file, text);
    const std::vector<std::string> holder = {
        "",     "count", "count", "count", "count", "count", "count", "",     "main", "main",
        "main", "main",  "main",  "main",  "main",  "main",  "open",  "open", "open"};
    for (std::size_t line = 1; line <= holder.size() + 1; ++line) {
        CliResult r = RunCli({"function", "--json", file, "--line", std::to_string(line)});
        std::string expected = line <= holder.size() ? holder[line - 1] : "";
        if (expected.empty()) {
            EXPECT_EQ(r.status, 1) << "line " << line;
            EXPECT_EQ(r.err, "kelpin: " + file + ":" + std::to_string(line) +
                                 ": You're not in a function body.\n");
            EXPECT_THAT(r.out, IsEmpty());
        } else {
            ASSERT_EQ(r.status, 0) << "line " << line << ": " << r.err;
            EXPECT_EQ(json::parse(r.out)["name"], expected) << "line " << line;
        }
    }
    EXPECT_EQ(
        json::parse(RunCli({"function", "--precise", "--json", file, "--line", "4"}).out),
        json(
            {{"name", "count"}, {"declaration", "static int count(a)"}, {"start", 3}, {"end", 7}}));
    EXPECT_EQ(RunCli({"function", file, "--name", "open"}).out,
              "name:        open\ndeclaration: void open(void)\nstart:       17\nend:         -\n");
    EXPECT_EQ(RunCli({"function", "--precise", dir / "none.c", "--line", "1"}).status, 3);

    // By name: one definition, none, or several to choose from by line.
    WriteFile(file, text + "}\n#ifdef A\nint main(int c) { }\n#else\n#endif\nint main(void) { }\n");
    CliResult none = RunCli({"function", file, "--name", "mian"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "kelpin: " + file + ": no function mian is defined here\n");
    CliResult twice = RunCli({"function", file, "--name", "main"});
    EXPECT_EQ(twice.status, 2);
    EXPECT_EQ(twice.err,
              "kelpin: " + file +
                  ": main is defined 3 times, on lines 9, 21, 24; choose one with --line\n");
    EXPECT_EQ(RunCli({"function", file, "--name", "main", "--add-in", "--line", "9"}).status, 2);
}

TEST(PreciseCli, PrototypesFromThePreciseScan) {
    TempDir dir;
    const std::string file = dir / "p.c";
    WriteFile(file,
              "#ifdef WIDE\nlong twice(long a)\n#else\nint twice(int a)\n#endif\n{\n}\n"
              "#if 0\nint dead(void) { }\n#endif\nstatic char *\nname(int a,\n     int b) { }\n");
    CliResult r = RunCli({"prototypes", "--precise", "--path", "C:\\src\\p.c", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "#ifndef __P_H__\n#define __P_H__\n\nlong twice(long a);\n"
                     "static char * name(int a, int b);\n\n#endif\t// P_H__\n");
    // With --add-in, the add-in's listing.
    EXPECT_NE(RunCli({"prototypes", "--add-in", "--lf", "--path", "C:\\src\\p.c", file}).out,
              r.out);

    // The guard is one identifier; lines end as the source's do.
    WriteFile(file, "int f(void)\r\n{\r\n}\r\nint g(void) { }\n");
    EXPECT_EQ(RunCli({"prototypes", "--path", "C:\\src\\My crc-ccitt.2.c", file}).out,
              "#ifndef __MY_CRC_CCITT_2_H__\r\n#define __MY_CRC_CCITT_2_H__\r\n\r\n"
              "int f(void);\r\nint g(void);\r\n\r\n#endif\t// MY_CRC_CCITT_2_H__\r\n");
    EXPECT_EQ(RunCli({"prototypes", "--lf", "--path", "x\\\xE9t\xE9.c", file}).out,
              "#ifndef ___T__H__\n#define ___T__H__\n\nint f(void);\nint g(void);\n\n"
              "#endif\t// _T__H__\n");
}

// ---- Tags -----------------------------------------------------------------------

TEST_F(PreciseTree, TagsAreSortedLinesOfEveryFunction) {
    std::vector<std::string> expected;
    for (const std::string& name : listed)
        for (const ExpectedFunction& f : programs[name].functions)
            expected.push_back(f.name + "\t" + name + "\t" + std::to_string(f.start) + ";\"\tf");
    std::sort(expected.begin(), expected.end());
    std::string text = "!_TAG_FILE_FORMAT\t2\t/extended format/\n"
                       "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/\n"
                       "!_TAG_KELPIN_FORM\tf k line 96 as-given yes\t//\n"
                       "!_TAG_PROGRAM_NAME\tkelpin\t//\n"
                       "!_TAG_PROGRAM_VERSION\t" KELPIN_VERSION "\t//\n";
    for (const std::string& line : expected)
        text += line + "\n";

    for (const char* jobs : {"1", "3"}) {
        CliResult r = RunAt(
            root, KELPIN_CLI,
            {"tags", "-o", "-", "-j", jobs, "--kinds", "f", "--fields", "k", "--address", "line"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, text);
    }
    // The default: ./tags, replaced whole by a new file, nothing left beside.
    WriteFile(root + "/tags", "!_TAG_FILE_FORMAT\t2\t/old/\n");
    struct stat before;
    ASSERT_EQ(::stat((root + "/tags").c_str(), &before), 0);
    CliResult r =
        RunAt(root, KELPIN_CLI, {"tags", "--kinds", "f", "--fields", "k", "--address", "line"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, IsEmpty());
    // The file has the stamps --update reads besides.
    std::string written;
    std::istringstream lines(ReadFile(root + "/tags"));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("!_TAG_KELPIN_FILE\t", 0) != 0) written += line + "\n";
    EXPECT_EQ(written, text);
    struct stat after;
    ASSERT_EQ(::stat((root + "/tags").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    for (const auto& entry : std::filesystem::directory_iterator(root))
        EXPECT_EQ(entry.path().filename().string().find("tags."), std::string::npos)
            << entry.path();
    // -o elsewhere, paths as given.
    CliResult elsewhere = RunCli({"tags", "-o", dir / "t", root + "/b.c"});
    EXPECT_EQ(elsewhere.status, 0);
    EXPECT_THAT(ReadFile(dir / "t"), HasSubstr("\t" + root + "/b.c\t"));
    EXPECT_EQ(RunCli({"tags", "-o", dir / "no/such/dir/t", root}).status, 3);
}

TEST_F(PreciseTree, VimJumpsToEveryTag) {
    ASSERT_EQ(RunAt(root, KELPIN_CLI, {"tags"}).status, 0);
    // Where each name is defined: the model's files and lines.
    std::map<std::string, std::multiset<std::string>> defined;
    for (const std::string& name : listed)
        for (const ExpectedFunction& f : programs[name].functions)
            // Vim opens a link to a file as the file it leads to.
            defined[f.name].insert((name == "link-file.c" ? "a.c" : name) + ":" +
                                   std::to_string(f.start));
    ASSERT_TRUE(std::any_of(defined.begin(), defined.end(),
                            [](const auto& d) { return d.second.size() > 1; }));
    // For each name: from an empty buffer, :tag and then :tnext until there
    // is no next, each landing written as FILE:LINE.
    std::string script = "let out = []\n";
    for (const auto& [name, where] : defined) {
        script += "enew!\ntry\n  tag " + name + "\n  call add(out, '" + name +
                  " ' . expand('%') . ':' . line('.'))\n"
                  "  while 1\n    tnext\n    call add(out, '" +
                  name +
                  " ' . expand('%') . ':' . line('.'))\n  endwhile\n"
                  "catch\n  call add(out, '" +
                  name + " end ' . v:exception)\nendtry\n";
    }
    script += "call writefile(out, 'vim-out.txt')\nqall!\n";
    WriteFile(root + "/jump.vim", script);
    CliResult vim =
        RunAt(root, "vim", {"-u", "NONE", "-i", "NONE", "-N", "-n", "-es", "-S", "jump.vim"});
    ASSERT_EQ(vim.status, 0) << "vim must be installed (scripts/setup): " << vim.err;

    std::map<std::string, std::multiset<std::string>> landed;
    std::istringstream lines(ReadFile(root + "/vim-out.txt"));
    std::string line;
    while (std::getline(lines, line)) {
        std::string name = line.substr(0, line.find(' '));
        std::string rest = line.substr(line.find(' ') + 1);
        if (rest.rfind("end ", 0) == 0) {
            // The one way out of the loop: no next tag (E427 when there was one).
            EXPECT_THAT(rest, ContainsRegex("E42[78]")) << line;
            continue;
        }
        landed[name].insert(rest);
    }
    EXPECT_EQ(landed, defined);
}

} // namespace
} // namespace kelpin::testing
