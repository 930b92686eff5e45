// kelpin version, run as a Makefile would run it.
#include <gmock/gmock.h>

#include <sys/stat.h>
#include <unistd.h>

#include "version_fixture.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;

class VersionCli : public ::testing::Test {
  protected:
    std::string Module() { return dir / "version"; }
    std::string Final(const char* version) {
        return std::string("VersionString[] = \"") + version + "\"; - 16:54:26, Sep 27 2005\n";
    }
    TempDir dir;
};

TEST_F(VersionCli, BumpCreatesTheModuleThenCountsOn) {
    CliResult r = RunCli({"version", "bump", Module()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Creating version source file \"" + Module() + ".c\"\n" +
                         "Creating version header file \"" + Module() + ".h\"\n" +
                         Final("Ver 00.00.00.01 - Build 0001"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(Module() + ".c"), SourceText(Module(), 0, 0, 0, 1, 1));
    EXPECT_EQ(ReadFile(Module() + ".h"), HeaderText(Module()));

    r = RunCli({"version", "bump", Module()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Creating version source file \"" + Module() + ".c\"\n" +
                         Final("Ver 00.00.00.01 - Build 0002"));
}

TEST_F(VersionCli, BumpNameIsRelativeToTheCurrentDirectory) {
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    CliResult r = RunCli({"version", "bump", "build_info"});
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Creating version source file \"build_info.c\"\n"));
    EXPECT_EQ(ReadFile(dir / "build_info.c"), SourceText("build_info", 0, 0, 0, 1, 1));
}

TEST_F(VersionCli, BumpErrorsGoToStderrWithStatus3) {
    std::string numbers = SourceText(Module(), 0, 0, 0, 2, 5);
    WriteFile(Module() + ".c", numbers);
    ASSERT_EQ(::chmod((Module() + ".c").c_str(), 0444), 0);
    CliResult r = RunCli({"version", "bump", Module()});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "Creating version source file \"" + Module() + ".c\"\n");
    EXPECT_EQ(r.err, "kelpin: " + Module() + ": Cannot create output file!\n");
    EXPECT_EQ(ReadFile(Module() + ".c"), numbers);

    WriteFile(dir / "damaged.c", "nothing here\n");
    r = RunCli({"version", "bump", dir / "damaged"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kelpin: " + (dir / "damaged") + ": Wrong internal format!\n");

    WriteFile(dir / "last.c", SourceText(dir / "last", 99, 99, 99, 99, 9999));
    r = RunCli({"version", "bump", dir / "last"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kelpin: " + (dir / "last") + ": Exeeded maximum versioning\n");
}

TEST_F(VersionCli, BumpWorksWhateverTheStoredVersioningSetting) {
    // The stored setting says off (a fresh settings folder): bump still runs,
    // and leaves the setting as it was.
    CliResult r = RunCli({"version", "bump", Module()});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Exists(Module() + ".c"));
}

TEST_F(VersionCli, ShowPrintsTheVersionLineOrJson) {
    WriteFile(Module() + ".c", SourceText(Module(), 1, 2, 30, 4, 56));
    CliResult r = RunCli({"version", "show", Module()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Ver 01.02.30.04 - Build 0056\n");
    r = RunCli({"version", "show", Module(), "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"msc\":1,\"sc2\":2,\"sc3\":30,\"lsc\":4,\"build\":56}\n");
}

TEST_F(VersionCli, ShowReadsAReadOnlyFileAndRefusesADamagedOne) {
    WriteFile(Module() + ".c", SourceText(Module(), 0, 0, 0, 1, 9));
    ASSERT_EQ(::chmod((Module() + ".c").c_str(), 0444), 0);
    EXPECT_EQ(RunCli({"version", "show", Module()}).out, "Ver 00.00.00.01 - Build 0009\n");

    CliResult r = RunCli({"version", "show", dir / "missing"});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err, HasSubstr("missing.c"));
    WriteFile(dir / "short.c",
              "1\n2\n3\n4\n5\nchar VersionString[]=\"Ver 00.00.00.01 - Build 0001\";");
    r = RunCli({"version", "show", dir / "short"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kelpin: " + (dir / "short.c") + ": Unexpected EOF or read error\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(VersionCli, SetSavesLikeTheDialogsOk) {
    WriteFile(Module() + ".c", SourceText(Module(), 0, 0, 0, 1, 17));
    WriteFile(Module() + ".h", "kept\n");
    CliResult r = RunCli({"version", "set", Module(), "2.007.0.31"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Ver 02.07.00.31 - Build 0017\n");
    EXPECT_EQ(ReadFile(Module() + ".c"), SourceText(Module(), 2, 7, 0, 31, 17));
    EXPECT_EQ(ReadFile(Module() + ".h"), "kept\n");

    r = RunCli({"version", "set", Module(), "2.7.0.31", "--build", "9999"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(Module() + ".c"), SourceText(Module(), 2, 7, 0, 31, 9999));
}

TEST_F(VersionCli, SetRefusesValuesOutOfRangeWithStatus2) {
    std::string numbers = SourceText(Module(), 0, 0, 0, 1, 17);
    WriteFile(Module() + ".c", numbers);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"1.2.3.100"},
                                               {"1.2.3"},
                                               {"1.2.3.4.5"},
                                               {"1.2..4"},
                                               {"1.-2.3.4"},
                                               {"a.b.c.d"},
                                               {"1.2.3.4", "--build", "10000"},
                                               {"1.2.3.4", "--build", "-1"}}) {
        std::vector<std::string> command{"version", "set", Module()};
        command.insert(command.end(), args.begin(), args.end());
        CliResult r = RunCli(command);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(ReadFile(Module() + ".c"), numbers);
}

TEST_F(VersionCli, SetNeedsAReadableModule) {
    CliResult r = RunCli({"version", "set", Module(), "1.0.0.0"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kelpin: " + Module() + ": The file doesn't exist. Compile project before!\n");
    EXPECT_FALSE(Exists(Module() + ".c"));

    WriteFile(Module() + ".c", "damaged\n");
    r = RunCli({"version", "set", Module(), "1.0.0.0"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kelpin: " + Module() +
                         ": Can't read version data. Maybe file format is uncorrect!\n");
    EXPECT_EQ(ReadFile(Module() + ".c"), "damaged\n");
}

TEST_F(VersionCli, EmptyNameIsAUsageError) {
    EXPECT_EQ(RunCli({"version", "bump", ""}).status, 2);
    EXPECT_EQ(RunCli({"version", "set", "", "1.0.0.0"}).status, 2);
    EXPECT_EQ(RunCli({"version"}).status, 2);
}

} // namespace
} // namespace kelpin::testing
