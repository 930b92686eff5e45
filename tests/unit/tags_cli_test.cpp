// kelpin tags as the built program: search patterns, choosing files,
// sorting, Emacs TAGS, and updates that give what a full run gives.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "cli_runner.h"
#include "support/c_program_model.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The tag lines of a tags file: no pseudo-tags.
std::vector<std::string> TagLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("!_TAG_", 0) != 0) out.push_back(line);
    return out;
}

// Runs kelpin in dir.
CliResult RunIn(const std::string& dir, const std::vector<std::string>& args,
                const std::string& input = {}) {
    return RunCli(args, {.input = input, .cwd = dir});
}

TEST(TagsCli, SearchPatternsAsVimReadsThem) {
    TempDir dir;
    std::string longName(120, 'n');
    WriteFile(dir / "p.c", std::string("int a$b = 1; /* path/to \\\\ x */\n"
                                       "int c = 2; /* $ */ \r\n"
                                       "int e = 1; // $\n"
                                       "int ") +
                               longName + " = 3;\n" + "int f = 1; /* " + std::string(1, '\0') +
                               " */\n\tint  g ;\nstatic int h;\n"
                               "#define M(x) ((x) + 1)\n#  define N\t2\n#define O\n" +
                               "int i; /* " + std::string(85, 'a') + "$ b */\n");
    CliResult r = RunIn(dir.path(), {"tags", "-o", "-", "--sort=no", "--fields=+n", "p.c"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string cut = "int " + longName.substr(0, 92);
    EXPECT_EQ(TagLines(r.out),
              (std::vector<std::string>{
                  "a$b\tp.c\t/^int a$b = 1; \\/* path\\/to \\\\\\\\ x *\\/$/;\"\tv\tline:1",
                  "c\tp.c\t/^int c = 2; \\/* $ *\\/ $/;\"\tv\tline:2",
                  "e\tp.c\t/^int e = 1; \\/\\/ \\$$/;\"\tv\tline:3",
                  longName + "\tp.c\t/^" + cut + "/;\"\tv\tline:4",
                  "f\tp.c\t/^int f = 1; \\/* /;\"\tv\tline:5",
                  "g\tp.c\t/^\tint  g ;$/;\"\tv\tline:6",
                  "h\tp.c\t/^static int h;$/;\"\tv\tline:7\tfile:",
                  // A macro's pattern ends a byte after its name, so that it
                  // still finds the line once the value changes.
                  "M\tp.c\t/^#define M(/;\"\td\tline:8",
                  "N\tp.c\t/^#  define N\t/;\"\td\tline:9",
                  "O\tp.c\t/^#define O$/;\"\td\tline:10",
                  // Cut at a "$", which must not anchor the pattern.
                  "i\tp.c\t/^int i; \\/* " + std::string(85, 'a') + "\\$/;\"\tv\tline:11",
              }));
    // Line numbers, other fields, other kinds.
    r = RunIn(dir.path(), {"tags", "-o", "-", "--address=line", "--fields=Ke", "--kinds=v", "p.c"});
    EXPECT_THAT(TagLines(r.out), ::testing::Contains("h\tp.c\t7;\"\tkind:variable"));
    EXPECT_EQ(RunIn(dir.path(), {"tags", "--kinds", "q"}).status, 2);
    EXPECT_EQ(RunIn(dir.path(), {"tags", "--fields", "z"}).status, 2);
}

TEST(TagsCli, SortOrders) {
    TempDir dir;
    WriteFile(dir / "s.c", "int b;\nint B_x;\nint a;\nint _z;\nint A;\n");
    auto names = [&](const std::string& sort) {
        CliResult r = RunIn(dir.path(), {"tags", "-o", "-", "--sort=" + sort, "s.c"});
        std::vector<std::string> out;
        for (const std::string& line : TagLines(r.out))
            out.push_back(line.substr(0, line.find('\t')));
        EXPECT_THAT(r.out, HasSubstr(std::string("!_TAG_FILE_SORTED\t") + (sort == "no"    ? "0"
                                                                           : sort == "yes" ? "1"
                                                                                           : "2")));
        return out;
    };
    EXPECT_EQ(names("yes"), (std::vector<std::string>{"A", "B_x", "_z", "a", "b"}));
    // Vim compares foldcase files upper-cased: "_" after the letters.
    EXPECT_EQ(names("foldcase"), (std::vector<std::string>{"A", "a", "b", "B_x", "_z"}));
    EXPECT_EQ(names("no"), (std::vector<std::string>{"b", "B_x", "a", "_z", "A"}));
}

TEST(TagsCli, ChoosingFiles) {
    TempDir dir;
    for (const char* name : {"src/a.c", "src/b.c", "src/gen/g.c", "test/t.c", ".git/x.c", ".hg/y.c",
                             "src/.svn/z.c", "src/w e.c"})
        std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path()),
            WriteFile(dir / name,
                      "int v_" + std::filesystem::path(name).stem().string().substr(0, 1) + ";\n");
    auto files = [&](std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"tags", "-o", "-"});
        CliResult r = RunIn(dir.path(), args, input);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> out;
        for (const std::string& line : TagLines(r.out)) {
            std::string rest = line.substr(line.find('\t') + 1);
            out.push_back(rest.substr(0, rest.find('\t')));
        }
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(files({}), (std::vector<std::string>{"src/a.c", "src/b.c", "src/gen/g.c", "src/w e.c",
                                                   "test/t.c"}));
    WriteFile(dir / "ex", "gen\n*/t.c\n");
    EXPECT_EQ(files({"--exclude", "b.*", "--exclude", "@ex"}),
              (std::vector<std::string>{"src/a.c", "src/w e.c"}));
    EXPECT_EQ(files({"-L", "-"}, "src/b.c\ntest\n"),
              (std::vector<std::string>{"src/b.c", "test/t.c"}));
    EXPECT_EQ(files({"-L", "-", "-0"}, std::string("src/w e.c\0src/a.c\0", 18)),
              (std::vector<std::string>{"src/a.c", "src/w e.c"}));

    // Written in another folder, the paths lead there from it.
    ASSERT_EQ(RunIn(dir.path(), {"tags", "-o", "test/tags", "src/a.c"}).status, 0);
    EXPECT_THAT(ReadFile(dir / "test/tags"), HasSubstr("\t../src/a.c\t"));
    ASSERT_EQ(RunIn(dir.path(), {"tags", "-o", "test/tags", "--tag-relative=no", "src/a.c"}).status,
              0);
    EXPECT_THAT(ReadFile(dir / "test/tags"), HasSubstr("\tsrc/a.c\t"));
    ASSERT_EQ(RunIn(dir / "src", {"tags", "-o", "../tags", "a.c"}).status, 0);
    EXPECT_THAT(ReadFile(dir / "tags"), HasSubstr("\tsrc/a.c\t"));

    // A pipe named by -o is written into, never replaced.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string read;
    std::thread reader([&] { read = ReadFile(dir / "fifo"); });
    CliResult r = RunIn(dir.path(), {"tags", "-o", "fifo", "src/a.c"});
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(read, HasSubstr("v_a\tsrc/a.c\t"));
    struct stat st;
    ASSERT_EQ(::stat((dir / "fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(TagsCli, EmacsTags) {
    TempDir dir;
    WriteFile(dir / "a.c", "#define LIMIT 10\nstruct point {\n\tint x;\n};\n");
    WriteFile(dir / "b.c", "int twice(void)\n{\n}\n");
    CliResult r = RunIn(dir.path(), {"tags", "-e", "-o", "-", "a.c", "b.c"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string a = "#define LIMIT\x7fLIMIT\x01"
                          "1,0\n"
                          "struct point\x7fpoint\x01"
                          "2,17\n"
                          "\tint x\x7fx\x01"
                          "3,32\n";
    const std::string b = "int twice\x7ftwice\x01"
                          "1,0\n";
    EXPECT_EQ(r.out, "\f\na.c," + std::to_string(a.size()) + "\n" + a + "\f\nb.c," +
                         std::to_string(b.size()) + "\n" + b);
    EXPECT_EQ(RunIn(dir.path(), {"tags", "-e", "--update"}).status, 2);
}

// A tree of the model's programs, changed a little at a time: --update
// after each change gives the file a full run gives, and rescans only what
// changed.
TEST(TagsCli, UpdateGivesWhatAFullRunGives) {
    TempDir dir;
    std::mt19937 random(11);
    auto program = [&](std::uint32_t seed) {
        std::mt19937 r(seed);
        Choices choices;
        choices.random = &r;
        return ProgramBuilder(choices, {}, seed).Build(12).text;
    };
    std::filesystem::create_directories(dir / "src/sub");
    for (std::uint32_t i = 1; i <= 6; ++i)
        WriteFile(dir /
                      ("src/" + std::string(i % 2 ? "sub/" : "") + "f" + std::to_string(i) + ".c"),
                  program(i));
    for (const char* sort : {"yes", "foldcase", "no"}) {
        std::string s = std::string("--sort=") + sort;
        ASSERT_EQ(RunIn(dir.path(), {"tags", s, "-o", "out/tags", "src"}).status, 3)
            << "no such folder yet";
        std::filesystem::create_directories(dir / "out");
        ASSERT_EQ(RunIn(dir.path(), {"tags", s, "-o", "out/tags", "src"}).status, 0);
        auto check = [&](const char* what) {
            CliResult update = RunIn(dir.path(), {"tags", s, "-o", "out/tags", "--update", "src"});
            ASSERT_EQ(update.status, 0) << update.err;
            ASSERT_EQ(RunIn(dir.path(), {"tags", s, "-o", "out/full", "src"}).status, 0);
            EXPECT_EQ(ReadFile(dir / "out/tags"), ReadFile(dir / "out/full")) << what << " " << s;
        };
        WriteFile(dir / "src/f2.c", program(100));
        check("a file changed");
        std::filesystem::remove(dir / "src/sub/f3.c");
        check("a file gone");
        WriteFile(dir / "src/sub/f9.c", program(200));
        check("a file added");
        check("nothing changed");
        // A change that leaves the tags as they were costs the stamp only,
        // written where it stands: the file is not made anew.
        struct stat before, after;
        ASSERT_EQ(::stat((dir / "out/tags").c_str(), &before), 0);
        WriteFile(dir / "src/f2.c", program(100) + "/* a comment more */\n");
        check("a file changed, not its tags");
        ASSERT_EQ(::stat((dir / "out/tags").c_str(), &after), 0);
        EXPECT_EQ(before.st_ino == after.st_ino, std::string(sort) != "no") << s;
        // Other options: every file anew.
        ASSERT_EQ(
            RunIn(dir.path(), {"tags", s, "-o", "out/tags", "--update", "--kinds=f", "src"}).status,
            0);
        ASSERT_EQ(RunIn(dir.path(), {"tags", s, "-o", "out/full", "--kinds=f", "src"}).status, 0);
        EXPECT_EQ(ReadFile(dir / "out/tags"), ReadFile(dir / "out/full"));
        std::filesystem::remove_all(dir / "out");
    }

    // A file whose size and time are as they were is not read again: its
    // old tags stand.
    std::filesystem::create_directories(dir / "out");
    WriteFile(dir / "src/same.c", "int before;\n");
    ASSERT_EQ(RunIn(dir.path(), {"tags", "-o", "out/tags", "src"}).status, 0);
    struct stat st;
    ASSERT_EQ(::stat((dir / "src/same.c").c_str(), &st), 0);
    WriteFile(dir / "src/same.c", "int after_;\n");
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "src/same.c").c_str(), times, 0), 0);
    ASSERT_EQ(RunIn(dir.path(), {"tags", "-o", "out/tags", "--update", "src"}).status, 0);
    EXPECT_THAT(ReadFile(dir / "out/tags"), HasSubstr("\nbefore\t"));
    EXPECT_THAT(ReadFile(dir / "out/tags"), Not(HasSubstr("\nafter_\t")));

    // -a: the files named now replace their tags, the others' stay.
    WriteFile(dir / "extra.c", "int extra;\n");
    ASSERT_EQ(RunIn(dir.path(), {"tags", "-o", "out/tags", "-a", "extra.c"}).status, 0);
    EXPECT_THAT(ReadFile(dir / "out/tags"), HasSubstr("\nextra\t../extra.c\t"));
    EXPECT_THAT(ReadFile(dir / "out/tags"), HasSubstr("\nbefore\t"));
    WriteFile(dir / "out/other", "not tags\n");
    EXPECT_EQ(RunIn(dir.path(), {"tags", "-o", "out/other", "--update", "src"}).status, 3);
    EXPECT_EQ(ReadFile(dir / "out/other"), "not tags\n");
}

} // namespace
} // namespace kelpin::testing
