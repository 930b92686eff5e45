// The build step: every build the host announces increments the project's
// version module, creating it on first use.
#include <gmock/gmock.h>

#include <sys/stat.h>

#include "version_fixture.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// ---- The increment ---------------------------------------------------------------

VersionNumbers Next(VersionNumbers s, int* result = nullptr) {
    int r = IncrementVersion(&s);
    if (result) *result = r;
    return s;
}

MATCHER_P5(IsVersion, msc, sc2, sc3, lsc, build, "") {
    return arg.components[0] == msc && arg.components[1] == sc2 && arg.components[2] == sc3 &&
           arg.components[3] == lsc && arg.build == build;
}

TEST(VersionIncrement, BuildNumberCountsUp) {
    EXPECT_THAT(Next({{0, 0, 0, 0}, 0}), IsVersion(0, 0, 0, 0, 1));
    EXPECT_THAT(Next({{1, 2, 3, 4}, 9998}), IsVersion(1, 2, 3, 4, 9999));
}

TEST(VersionIncrement, CarriesRestartTheBuildAt1) {
    EXPECT_THAT(Next({{0, 0, 0, 0}, 9999}), IsVersion(0, 0, 0, 1, 1));
    EXPECT_THAT(Next({{0, 0, 0, 5}, 9999}), IsVersion(0, 0, 0, 6, 1));
    EXPECT_THAT(Next({{0, 0, 99, 99}, 9999}), IsVersion(0, 1, 0, 0, 1));
    EXPECT_THAT(Next({{0, 99, 99, 99}, 9999}), IsVersion(1, 0, 0, 0, 1));
    EXPECT_THAT(Next({{98, 99, 99, 99}, 9999}), IsVersion(99, 0, 0, 0, 1));
}

TEST(VersionIncrement, BuildNumbersAbove9999CarryWithoutOverflowing) {
    EXPECT_THAT(Next({{0, 0, 0, 1}, 12345}), IsVersion(0, 0, 0, 2, 1));
    EXPECT_THAT(Next({{0, 0, 0, 1}, 2147483647}), IsVersion(0, 0, 0, 2, 1));
}

TEST(VersionIncrement, PastTheLastVersionOverflows) {
    int result = VersionOk;
    Next({{99, 99, 99, 99}, 9999}, &result);
    EXPECT_EQ(result, VersionOverflow);
    Next({{99, 99, 99, 98}, 9999}, &result);
    EXPECT_EQ(result, VersionOk);
}

// ---- The build on the headless host -------------------------------------------------

class VersionBuild : public VersionTest {
  protected:
    std::vector<headless::OutputEntry> Output() { return mainWindow().output; }
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const auto& box : headless::MessageBoxes())
            texts.push_back(box.text);
        return texts;
    }
    // The single error box of the build: its text, after checking its caption,
    // icon and owner.
    std::string ErrorBox() {
        if (headless::MessageBoxes().size() != 1)
            return "(" + std::to_string(Boxes().size()) + " boxes)";
        const auto& box = headless::MessageBoxes()[0];
        EXPECT_EQ(box.caption, "TALLIX ERROR");
        EXPECT_EQ(box.flags, UiBoxIconError);
        EXPECT_EQ(box.owner, project);
        return box.text;
    }
    std::string FinalLine(const char* version) {
        return std::string("VersionString[] = \"") + version + "\"; - 16:54:26, Sep 27 2005";
    }
    std::string Cwd() { return dir.path(); }
};

TEST_F(VersionBuild, FirstBuildCreatesBothFilesAndAddsTheSource) {
    StartProject("version");
    EXPECT_EQ(Build(), 1);
    const auto& out = mainWindow().output;
    ASSERT_EQ(out.size(), 4u);
    EXPECT_FALSE(out[0].hasText);
    EXPECT_EQ(out[1].text, "Creating version source file \"version.c\"");
    EXPECT_EQ(out[2].text, "Creating version header file \"version.h\"");
    EXPECT_EQ(out[3].text, FinalLine("Ver 00.00.00.01 - Build 0001"));
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 0, 0, 1, 1));
    EXPECT_EQ(ReadFile("version.h"), HeaderText("version"));
    EXPECT_THAT(projectWindow().addedFiles, ElementsAre(Cwd() + "\\version.c"));
    EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(VersionBuild, SecondBuildCountsOnAndAddsNothing) {
    StartProject("version");
    Build();
    mainWindow().output.clear();
    Build();
    const auto& out = mainWindow().output;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_FALSE(out[0].hasText);
    EXPECT_EQ(out[1].text, "Creating version source file \"version.c\"");
    EXPECT_EQ(out[2].text, FinalLine("Ver 00.00.00.01 - Build 0002"));
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 0, 0, 1, 2));
    EXPECT_EQ(projectWindow().addedFiles.size(), 1u);
}

TEST_F(VersionBuild, ExistingHeaderIsNeverRewritten) {
    WriteFile("version.h", "my own header\n");
    WriteFile("version.c", SourceText("version", 0, 0, 0, 5, 9999));
    StartProject("version");
    Build();
    EXPECT_EQ(ReadFile("version.h"), "my own header\n");
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 0, 0, 6, 1));
    EXPECT_THAT(host().OutputLines(main), ElementsAre("Creating version source file \"version.c\"",
                                                      FinalLine("Ver 00.00.00.06 - Build 0001")));
    EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
}

TEST_F(VersionBuild, HandEditsAreReplacedByTheWholeFile) {
    std::string edited = SourceText("version", 0, 0, 99, 99, 9999) + "int extra;\r\n";
    std::string lf;
    for (char c : edited)
        if (c != '\r') lf += c;
    WriteFile("version.c", lf);
    WriteFile("version.h", HeaderText("version"));
    StartProject("version");
    Build();
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 1, 0, 0, 1));
}

TEST_F(VersionBuild, OverflowShowsItsMessageAtEveryBuildAndKeepsTheFile) {
    std::string last = SourceText("version", 99, 99, 99, 99, 9999);
    WriteFile("version.c", last);
    WriteFile("version.h", HeaderText("version"));
    StartProject("version");
    for (int i = 0; i < 2; ++i) {
        headless::MessageBoxes().clear();
        EXPECT_EQ(Build(), 1);
        EXPECT_EQ(ErrorBox(), "Exeeded maximum versioning");
        EXPECT_EQ(ReadFile("version.c"), last);
    }
    EXPECT_THAT(host().OutputLines(main),
                ElementsAre("Creating version source file \"version.c\"",
                            "Creating version source file \"version.c\""));
}

TEST_F(VersionBuild, DamagedVersionLineShowsItsMessageAndRepairsNothing) {
    struct Case {
        std::string text;
        const char* message;
    };
    const std::string five = "1\n2\n3\n4\n5\n";
    for (const Case& c :
         {Case{"", "Wrong internal format!"},
          Case{five + "char VersionString[]=\"Ver 1.2.3.4 - Build 0001\";\n",
               "Wrong internal format!"},
          Case{five + "char VersionString[]=\"Ver 00.00.00.01 - Build 0001\";",
               "Unexpected EOF or read error"},
          Case{five + std::string(3000, 'x') + "\n", "Error: File line too long"}}) {
        headless::Reset();
        ResetAddIn();
        main = host().AddMainWindow();
        WriteFile("version.c", c.text);
        StartProject("version");
        Build();
        EXPECT_EQ(ErrorBox(), c.message);
        EXPECT_EQ(ReadFile("version.c"), c.text);
        EXPECT_FALSE(Exists("version.h"));
        EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
    }
}

TEST_F(VersionBuild, BuildNumberBeyond32BitsRestartsWithACarry) {
    WriteFile("version.c", "1\n2\n3\n4\n5\nchar VersionString[]=\"Ver 00.00.00.07 - Build "
                           "99999999999999999999\";\n");
    WriteFile("version.h", HeaderText("version"));
    StartProject("version");
    Build();
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 0, 0, 8, 1));
}

TEST_F(VersionBuild, VersioningOffDoesNothing) {
    StartProject("version", false);
    EXPECT_EQ(Build(), 1);
    EXPECT_THAT(Output(), IsEmpty());
    EXPECT_FALSE(Exists("version.c"));
    EXPECT_FALSE(Exists("version.h"));
    EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
}

TEST_F(VersionBuild, UndefinedOrEmptySymbolDoesNothing) {
    for (std::optional<std::string> symbol :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        headless::Reset();
        ResetAddIn();
        main = host().AddMainWindow();
        StartProject(symbol);
        EXPECT_EQ(Build(), 1);
        EXPECT_THAT(Output(), IsEmpty());
        EXPECT_THAT(Boxes(), IsEmpty());
        EXPECT_FALSE(Exists(".c"));
        EXPECT_FALSE(Exists(".h"));
    }
}

TEST_F(VersionBuild, AsksTheBuiltProjectWithTheSymbolsCapacity) {
    // Two projects: the one announced by the build event is asked.
    StartProject("first");
    HostWindow other = host().AddProjectWindow();
    host().Project(other)->symbols["VERSION"] = "second";
    EXPECT_EQ(AddInMain(other, HostEventBuild), 1);
    EXPECT_TRUE(Exists("second.c"));
    EXPECT_FALSE(Exists("first.c"));
    EXPECT_THAT(host().Project(other)->addedFiles, ElementsAre(Cwd() + "\\second.c"));
    // A value longer than the buffer is cut at its capacity, 4095.
    char buffer[HostSymbolBufferSize];
    host().Project(other)->symbols["VERSION"] = std::string(5000, 'v');
    EXPECT_EQ(GetVersionModuleName(other, buffer), 1);
    EXPECT_EQ(std::string(buffer).size(), 4095u);
}

TEST_F(VersionBuild, ReadOnlySourceKeepsItsNumbersAndReportsCode1) {
    std::string numbers = SourceText("version", 0, 0, 0, 3, 7);
    WriteFile("version.c", numbers);
    WriteFile("version.h", HeaderText("version"));
    ASSERT_EQ(::chmod("version.c", 0444), 0);
    StartProject("version");
    Build();
    EXPECT_EQ(ErrorBox(), "Cannot create output file!");
    EXPECT_EQ(ReadFile("version.c"), numbers);
    EXPECT_THAT(host().OutputLines(main),
                ElementsAre("Creating version source file \"version.c\""));
    EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
}

TEST_F(VersionBuild, ReadOnlyDirectoryCreatesNothing) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    StartProject("version");
    Build();
    EXPECT_EQ(ErrorBox(), "Cannot create output file!");
    EXPECT_FALSE(Exists("version.c"));
    EXPECT_FALSE(Exists("version.h"));
    EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
}

TEST_F(VersionBuild, ReadOnlyDirectoryKeepsAnExistingModule) {
    // Replacing a file needs its folder: the numbers stay as they were.
    std::string numbers = SourceText("version", 0, 0, 0, 3, 7);
    WriteFile("version.c", numbers);
    WriteFile("version.h", HeaderText("version"));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    StartProject("version");
    Build();
    EXPECT_EQ(ErrorBox(), "Cannot create output file!");
    EXPECT_EQ(ReadFile("version.c"), numbers);
}

TEST_F(VersionBuild, FailingWriteKeepsTheOldNumbers) {
    std::string numbers = SourceText("version", 0, 0, 0, 3, 7);
    WriteFile("version.c", numbers);
    WriteFile("version.h", HeaderText("version"));
    StartProject("version");
    headless::FailFileWrites(1);
    Build();
    EXPECT_EQ(ErrorBox(), "Cannot create output file!");
    EXPECT_EQ(ReadFile("version.c"), numbers);
    EXPECT_THAT(host().OutputLines(main),
                ElementsAre("Creating version source file \"version.c\""));
    // The next build, with the disk back, goes on from the kept numbers.
    headless::MessageBoxes().clear();
    Build();
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 0, 0, 3, 8));
}

TEST_F(VersionBuild, FailingFirstWriteCreatesAndAddsNothing) {
    StartProject("version");
    headless::FailFileWrites(1);
    Build();
    EXPECT_EQ(ErrorBox(), "Cannot create output file!");
    EXPECT_FALSE(Exists("version.c"));
    EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
}

TEST_F(VersionBuild, NewModuleIsAddedEvenWhenItsHeaderFails) {
    // A folder where the header should be: it can be neither opened nor
    // replaced. The source got its new numbers and is still offered.
    ASSERT_EQ(::mkdir("version.h", 0755), 0);
    StartProject("version");
    Build();
    EXPECT_EQ(ErrorBox(), "Cannot create output file!");
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 0, 0, 0, 1, 1));
    EXPECT_THAT(projectWindow().addedFiles, ElementsAre(Cwd() + "\\version.c"));
}

// A header that cannot be created fails before its line is sent: the pane
// never announces a file that is not made. The source file keeps what the
// step wrote. In the folder made: a folder, then a pipe, named version.h.
TEST_F(VersionBuild, HeaderThatCannotBeCreatedIsNotAnnounced) {
    ASSERT_EQ(::mkdir("a", 0755), 0);
    ASSERT_EQ(::mkdir("a/version.h", 0755), 0);
    ASSERT_EQ(::mkdir("b", 0755), 0);
    ASSERT_EQ(::mkfifo("b/version.h", 0644), 0);
    StartProject(std::nullopt);
    for (std::string name : {"a/version", "b/version"}) {
        SCOPED_TRACE(name);
        WriteFile(name + ".c", SourceText(name, 0, 0, 0, 3, 7));
        projectWindow().symbols["VERSION"] = name;
        headless::MessageBoxes().clear();
        mainWindow().output.clear();
        Build();
        EXPECT_EQ(ErrorBox(), "Cannot create output file!");
        EXPECT_THAT(host().OutputLines(main),
                    ElementsAre("Creating version source file \"" + name + ".c\""));
        EXPECT_EQ(ReadFile(name + ".c"), SourceText(name, 0, 0, 0, 3, 8));
    }
}

TEST_F(VersionBuild, ModuleNameTooLongIsRefusedAndCreatesNothing) {
    std::string name(1022, 'n');
    StartProject(name);
    Build();
    EXPECT_EQ(ErrorBox(), "Cannot create output file!");
    EXPECT_THAT(host().OutputLines(main),
                ElementsAre("Creating version source file \"" + name + ".c\""));
    EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
}

TEST_F(VersionBuild, PaneLinesAreCutAt2047Characters) {
    std::string name(3000, 'n');
    StartProject(name);
    Build();
    ASSERT_EQ(host().OutputLines(main).size(), 1u);
    EXPECT_EQ(host().OutputLines(main)[0].size(), 2047u);
}

// ---- Offering the new module to the project ------------------------------------------

using VersionProjectPath = VersionBuild;

TEST_F(VersionProjectPath, BackslashFollowsEvenARoot) {
    StartProject("version");
    headless::SetCurrentDirectory("C:\\");
    EXPECT_EQ(AddVersionModuleToProject(project, "version"), 1);
    EXPECT_THAT(projectWindow().addedFiles, ElementsAre("C:\\\\version.c"));
}

TEST_F(VersionProjectPath, PathOf259CharactersIsTheLongest) {
    StartProject("version");
    // Directory and name together: 256 characters at most.
    std::string directory = "C:\\" + std::string(256 - 3 - 7, 'd');
    headless::SetCurrentDirectory(directory);
    EXPECT_EQ(AddVersionModuleToProject(project, "version"), 1);
    ASSERT_EQ(projectWindow().addedFiles.size(), 1u);
    EXPECT_EQ(projectWindow().addedFiles[0].size(), 259u);

    headless::SetCurrentDirectory(directory + "d");
    EXPECT_EQ(AddVersionModuleToProject(project, "version"), 0);
    EXPECT_EQ(projectWindow().addedFiles.size(), 1u);
    EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(VersionProjectPath, TooLongPathOnAFirstBuildAddsAndShowsNothing) {
    StartProject("version");
    headless::SetCurrentDirectory("C:\\" + std::string(300, 'd'));
    Build();
    EXPECT_TRUE(Exists("version.c"));
    EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
    EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(VersionProjectPath, UnreadableCurrentDirectoryAddsAndShowsNothing) {
    StartProject("version");
    headless::SetCurrentDirectory(std::nullopt);
    Build();
    EXPECT_TRUE(Exists("version.c"));
    EXPECT_THAT(projectWindow().addedFiles, IsEmpty());
    EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(VersionProjectPath, RefusedFileShowsItsPath) {
    StartProject("version");
    projectWindow().refuseAddFile = true;
    headless::SetCurrentDirectory("C:\\work");
    Build();
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    const auto& box = headless::MessageBoxes()[0];
    EXPECT_EQ(box.text, "C:\\work\\version.c");
    EXPECT_EQ(box.caption, "Cannot add file to project");
    EXPECT_EQ(box.owner, 0u);
    EXPECT_EQ(box.flags, UiBoxOk);
    // Offered once only: the next build does not try again.
    headless::MessageBoxes().clear();
    Build();
    EXPECT_THAT(Boxes(), IsEmpty());
}

} // namespace
} // namespace kelpin::testing
