// Command 11: dialog 1006 shows the numbers of the version source file, keeps
// every field within its range while the user types, and saves on OK.
#include <gmock/gmock.h>

#include <sys/stat.h>

#include "resources/resource.h"
#include "version_fixture.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class VersionDialog : public VersionTest {
  protected:
    // Versioning on, a project named "version", an open source editor.
    void SetUp() override {
        VersionTest::SetUp();
        StartProject("version");
        OpenEditor("int main(void) { return 0; }\n");
    }
    // Runs command 11 with the script as the user.
    std::int32_t EditVersion(headless::DialogScript script = nullptr) {
        if (script) headless::ExpectDialog(std::move(script));
        return AddInCommand(CmdEditVersion);
    }
};

TEST_F(VersionDialog, ShowsTheNumbersWithoutLeadingZeros) {
    WriteFile("version.c", SourceText("version", 1, 0, 7, 12, 345));
    std::map<int, std::string> shown;
    std::string caption;
    EXPECT_EQ(EditVersion([&](headless::DialogDriver& d) {
                  caption = d.Caption();
                  for (int id : {IDC_VERSION_MSC, IDC_VERSION_2SC, IDC_VERSION_3SC, IDC_VERSION_LSC,
                                 IDC_VERSION_BUILD, IDC_VERSION_FILE})
                      shown[id] = d.Text(id);
                  d.Press(UiIdCancel);
              }),
              1);
    EXPECT_EQ(caption, "Edit Build/Version");
    EXPECT_EQ(shown[IDC_VERSION_MSC], "1");
    EXPECT_EQ(shown[IDC_VERSION_2SC], "0");
    EXPECT_EQ(shown[IDC_VERSION_3SC], "7");
    EXPECT_EQ(shown[IDC_VERSION_LSC], "12");
    EXPECT_EQ(shown[IDC_VERSION_BUILD], "345");
    EXPECT_EQ(shown[IDC_VERSION_FILE], "version");
    EXPECT_THAT(headless::OpenedDialogs(), ElementsAre(IDD_VERSION));
}

TEST_F(VersionDialog, OutOfRangeEditsAreUndoneAtOnce) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 1, 1));
    std::vector<std::string> after;
    EditVersion([&](headless::DialogDriver& d) {
        d.Type(IDC_VERSION_MSC, "12");
        after.push_back(d.Text(IDC_VERSION_MSC));
        d.Type(IDC_VERSION_MSC, "123"); // a third digit
        after.push_back(d.Text(IDC_VERSION_MSC));
        d.Type(IDC_VERSION_LSC, "-");
        after.push_back(d.Text(IDC_VERSION_LSC));
        d.Type(IDC_VERSION_LSC, "-1");
        after.push_back(d.Text(IDC_VERSION_LSC));
        d.Type(IDC_VERSION_BUILD, "9999");
        after.push_back(d.Text(IDC_VERSION_BUILD));
        d.Type(IDC_VERSION_BUILD, "10000");
        after.push_back(d.Text(IDC_VERSION_BUILD));
        d.Type(IDC_VERSION_3SC, "99");
        after.push_back(d.Text(IDC_VERSION_3SC));
        d.Type(IDC_VERSION_3SC, "100");
        after.push_back(d.Text(IDC_VERSION_3SC));
        d.Type(IDC_VERSION_2SC, "007");
        after.push_back(d.Text(IDC_VERSION_2SC));
        d.Type(IDC_VERSION_2SC, " +5x");
        after.push_back(d.Text(IDC_VERSION_2SC));
        d.Type(IDC_VERSION_2SC, "99999999999999");
        after.push_back(d.Text(IDC_VERSION_2SC));
        d.Press(UiIdCancel);
    });
    EXPECT_THAT(after, ElementsAre("12", "12", "-", "-", "9999", "9999", "99", "99", "007", " +5x",
                                   " +5x"));
}

TEST_F(VersionDialog, OkWritesOnlyTheSourceFile) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 1, 1));
    WriteFile("version.h", "my header\n");
    bool ended = false;
    EXPECT_EQ(EditVersion([&](headless::DialogDriver& d) {
                  d.Type(IDC_VERSION_MSC, "2");
                  d.Type(IDC_VERSION_2SC, "007");
                  d.Type(IDC_VERSION_3SC, "");
                  d.Type(IDC_VERSION_LSC, "31");
                  d.Type(IDC_VERSION_BUILD, "42");
                  d.Press(UiIdOk);
                  ended = d.Ended();
              }),
              1);
    EXPECT_TRUE(ended);
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 2, 7, 0, 31, 42));
    EXPECT_EQ(ReadFile("version.h"), "my header\n");
    EXPECT_THAT(mainWindow().output, IsEmpty());
    EXPECT_THAT(headless::MessageBoxes(), IsEmpty());

    // The next build goes on from the saved numbers.
    Build();
    EXPECT_EQ(ReadFile("version.c"), SourceText("version", 2, 7, 0, 31, 43));
}

TEST_F(VersionDialog, CancelChangesNothing) {
    std::string numbers = SourceText("version", 0, 0, 0, 1, 1);
    WriteFile("version.c", numbers);
    EditVersion([&](headless::DialogDriver& d) {
        d.Type(IDC_VERSION_MSC, "5");
        d.Press(UiIdCancel);
    });
    EXPECT_EQ(ReadFile("version.c"), numbers);
    EXPECT_FALSE(Exists("version.h"));
}

TEST_F(VersionDialog, FailedSaveKeepsTheDialogOpenWithTheUsersValues) {
    std::string numbers = SourceText("version", 0, 0, 0, 1, 1);
    WriteFile("version.c", numbers);
    bool endedAfterOk = true;
    std::string msc;
    HostWindow dialogWindow = 0;
    EditVersion([&](headless::DialogDriver& d) {
        dialogWindow = d.Window();
        d.Type(IDC_VERSION_MSC, "4");
        headless::FailFileWrites(1);
        d.Press(UiIdOk);
        endedAfterOk = d.Ended();
        msc = d.Text(IDC_VERSION_MSC);
        d.Press(UiIdCancel);
    });
    EXPECT_FALSE(endedAfterOk);
    EXPECT_EQ(msc, "4");
    EXPECT_EQ(ReadFile("version.c"), numbers);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    const auto& box = headless::MessageBoxes()[0];
    EXPECT_EQ(box.text, "Cannot create output file!");
    EXPECT_EQ(box.caption, "TALLIX ERROR");
    EXPECT_EQ(box.flags, UiBoxIconError);
    EXPECT_EQ(box.owner, dialogWindow);
}

TEST_F(VersionDialog, ReadOnlySourceFileCountsAsMissing) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 1, 1));
    ASSERT_EQ(::chmod("version.c", 0444), 0);
    EditVersion();
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "The file doesn't exist.\nCompile project before!");
}

TEST_F(VersionDialog, BeforeTheFirstBuildOnlyAnInformationBoxShows) {
    bool scriptRan = false;
    EXPECT_EQ(EditVersion([&](headless::DialogDriver&) { scriptRan = true; }), 1);
    EXPECT_FALSE(scriptRan);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    const auto& box = headless::MessageBoxes()[0];
    EXPECT_EQ(box.text, "The file doesn't exist.\nCompile project before!");
    EXPECT_EQ(box.caption, "version");
    EXPECT_EQ(box.flags, UiBoxIconInformation);
    EXPECT_EQ(box.owner, main);
    EXPECT_FALSE(Exists("version.c"));
}

TEST_F(VersionDialog, DamagedFileShowsTheErrorBoxAndNoDialog) {
    WriteFile("version.c", "1\n2\n3\n4\n5\nchar VersionString[]=\"Ver 1.2.3.4 - Build 0001\";\n");
    bool scriptRan = false;
    EditVersion([&](headless::DialogDriver&) { scriptRan = true; });
    EXPECT_FALSE(scriptRan);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    const auto& box = headless::MessageBoxes()[0];
    EXPECT_EQ(box.text, "Can't read version data.\nMaybe file format is uncorrect!");
    EXPECT_EQ(box.caption, "version");
    EXPECT_EQ(box.flags, UiBoxIconError);
    EXPECT_EQ(box.owner, main);
}

TEST_F(VersionDialog, VersioningOffOrNoProjectWritesOneLine) {
    headless::Reset();
    ResetAddIn();
    main = host().AddMainWindow();
    Load();
    mainWindow().output.clear();
    OpenEditor("int x;\n");
    EXPECT_EQ(AddInCommand(CmdEditVersion), 1); // the output message's result
    EXPECT_THAT(host().OutputLines(main), ElementsAre("Error - Versioning not enabled!"));
    // Versioning switched on in the setup dialog, but no project handed over
    // yet.
    headless::ExpectDialog([](headless::DialogDriver& d) {
        d.SetChecked(IDC_ENABLE_VERSION, true);
        d.Press(UiIdOk);
    });
    AddInSetup(0, 0);
    mainWindow().output.clear();
    AddInCommand(CmdEditVersion);
    EXPECT_THAT(host().OutputLines(main), ElementsAre("Error - Versioning not enabled!"));
    EXPECT_THAT(headless::OpenedDialogs(), ElementsAre(IDD_SETUP));
}

TEST_F(VersionDialog, UndefinedOrEmptySymbolOpensNothing) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 1, 1));
    projectWindow().symbols.erase("VERSION");
    EXPECT_EQ(AddInCommand(CmdEditVersion), 0);
    projectWindow().symbols["VERSION"] = "";
    EXPECT_EQ(AddInCommand(CmdEditVersion), 1); // the symbol message's result
    EXPECT_THAT(headless::OpenedDialogs(), IsEmpty());
    EXPECT_THAT(mainWindow().output, IsEmpty());
    EXPECT_THAT(headless::MessageBoxes(), IsEmpty());
}

TEST_F(VersionDialog, NeedsASourceEditorLikeEveryCommand) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 1, 1));
    mainWindow().activeEditor = 0;
    EXPECT_EQ(AddInCommand(CmdEditVersion), 0);
    EXPECT_THAT(headless::OpenedDialogs(), IsEmpty());
}

// The procedure's answers, message by message.
TEST_F(VersionDialog, AnswersOnlyItsOwnMessages) {
    WriteFile("version.c", SourceText("version", 0, 0, 0, 1, 1));
    std::vector<std::intptr_t> answers;
    EditVersion([&](headless::DialogDriver& d) {
        auto command = [&](int id, unsigned notify) {
            return d.Send(UiMsgCommand, (std::uintptr_t{notify} << 16) | unsigned(id), 0);
        };
        answers.push_back(command(IDC_VERSION_MSC, UiNotifyUpdate));  // in range
        answers.push_back(command(IDC_VERSION_DOT1, UiNotifyUpdate)); // a separator
        answers.push_back(command(IDC_VERSION_DOT3, UiNotifyUpdate));
        answers.push_back(command(IDC_VERSION_BUILD, 0x0300)); // EN_CHANGE
        answers.push_back(d.Send(UiMsgClose, 0, 0));
        answers.push_back(d.Send(UiMsgSize, 0, 0));
        d.Press(UiIdCancel);
    });
    EXPECT_THAT(answers, ElementsAre(0, 0, 0, 0, 0, 0));
}

TEST(VersionFieldValue, ConvertsLikeTheCLibrary) {
    EXPECT_EQ(VersionFieldValue("42"), 42);
    EXPECT_EQ(VersionFieldValue("007"), 7);
    EXPECT_EQ(VersionFieldValue(""), 0);
    EXPECT_EQ(VersionFieldValue("abc"), 0);
    EXPECT_EQ(VersionFieldValue(" \t+12x3"), 12);
    EXPECT_EQ(VersionFieldValue("-5"), -5);
    EXPECT_EQ(VersionFieldValue("- 5"), 0);
    EXPECT_EQ(VersionFieldValue("99999999999999"), 2147483647);
    EXPECT_EQ(VersionFieldValue("-99999999999999"), -2147483647 - 1);
}

} // namespace
} // namespace kelpin::testing
