// Function navigation on the headless host: the prototype listing of
// command 1 and its saving, the Function dialog of command 3 and the search
// of command 7.
#include <gmock/gmock.h>

#include <filesystem>
#include <optional>

#include "cli_runner.h"
#include "fixture.h"
#include "navigation/navigation.h"
#include "resources/resource.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;

// The prototype lines of a listing: what stands between its guard lines
// and the blank lines after and before them.
std::string PrototypesIn(const std::string& listing) {
    std::size_t open = listing.find("\r\n\r\n"), close = listing.rfind("\r\n\r\n#endif");
    if (open == std::string::npos || close == std::string::npos || close < open)
        return "(not a listing) " + listing;
    return listing.substr(open + 4, close + 2 - (open + 4));
}

// A listing's first line, which names its guard.
std::string FirstLine(const std::string& listing) {
    return listing.substr(0, listing.find('\r'));
}

// A declaration of exactly `length` characters: a function with enough
// parameters.
std::string LongDeclaration(std::size_t length) {
    std::string declaration = "int wide(";
    for (int i = 0; declaration.size() + 20 < length; ++i)
        declaration += "int p" + std::to_string(i) + ", ";
    declaration += "int last";
    declaration.append(length - declaration.size() - 1, 'x');
    return declaration + ")";
}

// ---- Guard names --------------------------------------------------------------

TEST(GuardNames, ComeFromTheFileNameBeforeTheLastDot) {
    EXPECT_EQ(GuardName("C:\\src\\parser.c"), "PARSER");
    EXPECT_EQ(GuardName("C:\\src\\lexer.tab.c"), "LEXER.TAB");
    EXPECT_EQ(GuardName("\\x.c"), "X");
    EXPECT_EQ(GuardName("C:\\src\\.c"), "");
}

TEST(GuardNames, ADotInADirectoryCutsThePathThere) {
    EXPECT_EQ(GuardName("C:\\work\\my.lib\\readme"), "MY");
}

TEST(GuardNames, WithoutADotOrABackslashBeforeItTheNameIsFoo) {
    EXPECT_EQ(GuardName("parser.c"), "foo");
    EXPECT_EQ(GuardName("C:\\src\\makefile"), "foo");
    EXPECT_EQ(GuardName(""), "foo");
    EXPECT_EQ(GuardName("C:/src/parser.c"), "foo");
}

TEST(GuardNames, OnlyAsciiLettersAreUpperCasedAndOtherCharactersStay) {
    EXPECT_EQ(GuardName("C:\\src\\my file-v2_\xe9.c"), "MY FILE-V2_\xe9");
}

// ---- Command 1: the listing ------------------------------------------------------

class PrototypeListingDialog : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        Load();
    }

    // Runs command 1 on an editor holding text at path; the scripted user
    // reads the dialog and then does what `then` says.
    std::string Listing(const std::string& text, const std::string& path = "C:\\src\\parser.c",
                        headless::DialogScript then = nullptr) {
        OpenEditor(text, path);
        std::string shown;
        headless::ExpectDialog([&](headless::DialogDriver& dialog) {
            EXPECT_EQ(dialog.TemplateId(), IDD_FUNCTIONS);
            EXPECT_EQ(dialog.Caption(), "Functions");
            shown = dialog.Text(IDC_PROTOTYPE_TEXT);
            window = dialog.Window();
            focus = dialog.Focus();
            if (then) then(dialog);
        });
        result = AddInCommand(CmdFunctionPrototypes);
        return shown;
    }

    HostWindow window = 0;
    int focus = 0;
    std::int32_t result = -99;
};

TEST_F(PrototypeListingDialog, ListsEveryFunctionBetweenTheGuardLines) {
    std::string text = "#include <stdio.h>\n\nint parse(const char *s)\n{\n    return *s;\n}\n\n"
                       "void reset(void)\n{\n    counter = 0;\n}\n";
    EXPECT_EQ(Listing(text), "#ifndef __PARSER_H__\r\n"
                             "#define __PARSER_H__\r\n"
                             "\r\n"
                             "int parse(const char *s);\r\n"
                             "void reset(void);\r\n"
                             "\r\n"
                             "#endif\t// PARSER_H__\r\n");
}

TEST_F(PrototypeListingDialog, CaretStandsAtTheEndOfTheTextWithTheFocus) {
    Listing("int f(void)\n{\n}\n");
    EXPECT_EQ(focus, IDC_PROTOTYPE_TEXT);
}

TEST_F(PrototypeListingDialog, AFileWithoutFunctionsGivesOnlyTheGuard) {
    EXPECT_EQ(Listing("int counter;\nstruct s { int a; };\nint f(void);\n"),
              "#ifndef __PARSER_H__\r\n#define __PARSER_H__\r\n\r\n\r\n#endif\t// PARSER_H__\r\n");
}

TEST_F(PrototypeListingDialog, GuardNamesFollowTheDocumentPath) {
    std::string text = "int f(void)\n{\n}\n";
    EXPECT_EQ(FirstLine(Listing(text, "C:\\work\\my.lib\\readme")), "#ifndef __MY_H__");
    EXPECT_EQ(FirstLine(Listing(text, "parser.c")), "#ifndef __foo_H__");
    EXPECT_EQ(Listing(text, "C:\\My Projects\\net-io.c"),
              "#ifndef __NET-IO_H__\r\n#define __NET-IO_H__\r\n\r\nint f(void);\r\n\r\n"
              "#endif\t// NET-IO_H__\r\n");
    EXPECT_EQ(FirstLine(Listing(text, "C:\\src\\two words.c")), "#ifndef __TWO WORDS_H__");
}

TEST_F(PrototypeListingDialog, AnUnreadablePathNamesTheGuardFoo) {
    HostWindow editor = OpenEditor("int f(void)\n{\n}\n", "C:\\src\\parser.c");
    host().Editor(editor)->refuseDocumentInfo = true;
    std::string shown;
    headless::ExpectDialog([&](headless::DialogDriver& d) { shown = d.Text(IDC_PROTOTYPE_TEXT); });
    AddInCommand(CmdFunctionPrototypes);
    EXPECT_EQ(FirstLine(shown), "#ifndef __foo_H__");
    EXPECT_EQ(PrototypesIn(shown), "int f(void);\r\n");
}

TEST_F(PrototypeListingDialog, DeclarationsAreListedInTextOrderAsTheScannerCollectedThem) {
    std::string text = "static int\nfirst(int a) {\n    return a;\n}\n"
                       "int (*table[])(void) = { f, g };\n"
                       "int old(a)\nint a;\n{\n    return a;\n}\n"
                       "char *last (const char *s)\t\t\n{\n    return 0;\n}\n";
    EXPECT_EQ(PrototypesIn(Listing(text)), "static intfirst(int a) ;\r\n"
                                           "int (*table[])(void) = ;\r\n"
                                           "char *last (const char *s) ;\r\n");
}

TEST_F(PrototypeListingDialog, LongDeclarationsAreListedWhole) {
    for (std::size_t length : {508u, 509u, 510u, 600u, 4095u}) {
        std::string declaration = LongDeclaration(length);
        ASSERT_EQ(declaration.size(), length);
        std::string text = declaration + "\n{\n    return;\n}\nint g(void)\n{\n}\n";
        EXPECT_EQ(PrototypesIn(Listing(text)), declaration + ";\r\nint g(void);\r\n")
            << "a declaration of " << length << " characters";
    }
}

TEST_F(PrototypeListingDialog, ADeclarationBeyondTheScannersBufferKeepsItsLineEnd) {
    // The scanner keeps the first 4095 characters; the line still ends.
    std::string declaration = "int wide(int a)";
    while (declaration.size() < 5000)
        declaration += " x";
    std::string shown = Listing(declaration + "\n{\n}\n");
    EXPECT_EQ(PrototypesIn(shown), declaration.substr(0, 4095) + ";\r\n");
}

TEST_F(PrototypeListingDialog, ALargeFileIsListedWhole) {
    std::string text, expected;
    for (int i = 0; i < 5000; ++i) {
        std::string declaration =
            "static int function_number_" + std::to_string(i) + "(int a, int b)";
        text += declaration + "\n{\n    return a + b;\n}\n\n";
        expected += declaration + ";\r\n";
    }
    std::string shown = Listing(text);
    std::string listed = PrototypesIn(shown);
    EXPECT_EQ(listed.size(), expected.size());
    EXPECT_TRUE(listed == expected);
    EXPECT_EQ(focus, IDC_PROTOTYPE_TEXT);
}

TEST_F(PrototypeListingDialog, CancelEndsWithOneAndTheCloseBoxWithZero) {
    Listing("int f(void)\n{\n}\n", "C:\\a.c",
            [](headless::DialogDriver& d) { d.Press(UiIdCancel); });
    EXPECT_EQ(result, 1);
    Listing("int f(void)\n{\n}\n", "C:\\a.c", [](headless::DialogDriver& d) { d.Close(); });
    EXPECT_EQ(result, 0);
}

TEST_F(PrototypeListingDialog, SizeMessagesAreHandledAndChangeNothing) {
    Listing("int f(void)\n{\n}\n", "C:\\a.c", [](headless::DialogDriver& d) {
        EXPECT_EQ(d.Send(UiMsgSize, 0, 0x00C800C8), 1);
        EXPECT_FALSE(d.Ended());
        EXPECT_EQ(PrototypesIn(d.Text(IDC_PROTOTYPE_TEXT)), "int f(void);\r\n");
        EXPECT_EQ(d.Send(0x0200, 0, 0), 0); // left to the system
        EXPECT_FALSE(d.Ended());
    });
    EXPECT_EQ(result, 1);
}

TEST_F(PrototypeListingDialog, TheCommandLinePrintsWhatTheDialogShows) {
    std::string text = "/* x */ int a(int (*cb)(void)) {\r\n    return cb();\r\n}\r\n"
                       "#define X { ;\r\nstruct s b\t(void)\r\n{\r\n    return s0;\r\n}\r\n";
    TempDir scratch;
    WriteFile(scratch / "t.c", text);
    CliResult cli =
        RunCli({"prototypes", "--add-in", "--path", "D:\\x\\net-io.c", scratch / "t.c"});
    EXPECT_EQ(cli.status, 0);
    EXPECT_EQ(cli.out, Listing(text, "D:\\x\\net-io.c"));
    EXPECT_THAT(cli.out, ::testing::HasSubstr("struct s b (void);\r\n"));
}

// ---- Command 1: Save as... ------------------------------------------------------

class SavingTheListing : public PrototypeListingDialog {
  protected:
    // Command 1, then "Save as..." answered with path (nullopt: cancelled),
    // after the scripted user has typed `typed` into the control, if given.
    void SaveAs(std::optional<std::string> path, std::optional<std::string> typed = std::nullopt) {
        headless::AnswerChooser(path);
        Listing(text, "C:\\src\\parser.c", [&](headless::DialogDriver& d) {
            if (typed) d.Type(IDC_PROTOTYPE_TEXT, *typed);
            d.Press(IDC_SAVE_AS);
            endedBySave = d.Ended();
            afterSave = d.Text(IDC_PROTOTYPE_TEXT);
        });
    }

    TempDir scratch;
    std::filesystem::path directory = scratch.path();
    std::string text = "int parse(const char *s)\n{\n    return *s;\n}\nvoid reset(void)\n{\n}\n";
    std::string listing = "#ifndef __PARSER_H__\r\n#define __PARSER_H__\r\n\r\n"
                          "int parse(const char *s);\r\nvoid reset(void);\r\n\r\n"
                          "#endif\t// PARSER_H__\r\n";
    bool endedBySave = true;
    std::string afterSave;
};

TEST_F(SavingTheListing, AsksForAHeaderFileOverTheDialog) {
    SaveAs(std::nullopt);
    ASSERT_EQ(headless::Choosers().size(), 1u);
    const headless::ChooserRecord& chooser = headless::Choosers()[0];
    EXPECT_TRUE(chooser.save);
    EXPECT_EQ(chooser.owner, window);
    EXPECT_THAT(chooser.filter, ElementsAre("Include file (.h)", "*.h", "File (*.*)", "*.*"));
    EXPECT_EQ(chooser.defaultExtension, "h");
    EXPECT_EQ(chooser.flags, 0x80806u);
    EXPECT_EQ(chooser.fileCapacity, 260u);
    EXPECT_EQ(chooser.initialFile, "");
}

TEST_F(SavingTheListing, CancellingTheChooserWritesNothingAndShowsNothing) {
    SaveAs(std::nullopt);
    EXPECT_FALSE(endedBySave);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_TRUE(std::filesystem::is_empty(directory));
}

TEST_F(SavingTheListing, WritesTheControlsBytesExactly) {
    std::filesystem::path file = directory / "parser.h";
    SaveAs(file.string());
    EXPECT_EQ(ReadFile(file), listing);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_FALSE(endedBySave);
    EXPECT_EQ(result, 1);
}

TEST_F(SavingTheListing, WritesWhatTheUserTypedAndReplacesAnExistingFile) {
    std::filesystem::path file = directory / "parser.h";
    WriteFile(file, std::string(10000, 'o'));
    SaveAs(file.string(), "int mine(void);\r\n");
    EXPECT_EQ(ReadFile(file), "int mine(void);\r\n");
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(SavingTheListing, AnEmptiedControlFailsAndLeavesAnEmptyFile) {
    std::filesystem::path file = directory / "parser.h";
    WriteFile(file, "old contents\r\n");
    SaveAs(file.string(), "");
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(ReadFile(file), "");
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    const headless::MessageBoxRecord& box = headless::MessageBoxes()[0];
    EXPECT_EQ(box.text, "Save file failed.");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.flags, UiBoxIconError);
    EXPECT_EQ(box.owner, window);
    EXPECT_FALSE(endedBySave);
}

TEST_F(SavingTheListing, AShortWriteIsAFailure) {
    std::filesystem::path file = directory / "parser.h";
    headless::FailFileWrites(1);
    SaveAs(file.string());
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "Save file failed.");
    EXPECT_EQ(headless::MessageBoxes()[0].owner, window);
    EXPECT_FALSE(endedBySave);
    EXPECT_EQ(afterSave, listing); // the text stays for another try
}

TEST_F(SavingTheListing, AFileThatCannotBeCreatedIsAFailure) {
    SaveAs((directory / "missing" / "parser.h").string());
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "Save file failed.");
}

TEST_F(SavingTheListing, WithoutEditorTextTheControlStaysEmptyAndSavingFails) {
    // The dialog fetches its own copy of the text; with none it lists nothing.
    std::filesystem::path file = directory / "parser.h";
    headless::AnswerChooser(file.string());
    headless::ExpectDialog([&](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_PROTOTYPE_TEXT), "");
        EXPECT_EQ(d.Focus(), 0);
        d.Press(IDC_SAVE_AS);
        EXPECT_FALSE(d.Ended());
    });
    EXPECT_EQ(ShowPrototypeDialog({0, main}), 1);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "Save file failed.");
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(ReadFile(file), "");
}

TEST_F(SavingTheListing, EachSaveStartsWithAnEmptyFileName) {
    std::filesystem::path first = directory / "a.h", second = directory / "b.h";
    headless::AnswerChooser(first.string());
    headless::AnswerChooser(second.string());
    Listing(text, "C:\\src\\parser.c", [](headless::DialogDriver& d) {
        d.Press(IDC_SAVE_AS);
        d.Press(IDC_SAVE_AS);
    });
    ASSERT_EQ(headless::Choosers().size(), 2u);
    EXPECT_EQ(headless::Choosers()[1].initialFile, "");
    EXPECT_EQ(ReadFile(first), listing);
    EXPECT_EQ(ReadFile(second), listing);
}

// ---- Command 3: the Function dialog ----------------------------------------------

class FunctionDialogCommand : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        Load();
    }

    // Command 3 with the caret on 1-based line; the scripted user reads the
    // dialog and presses `button` (0: the close box).
    std::int32_t Run(const std::string& text, int line, int button) {
        editor = OpenEditor(text);
        PutCaretOnLine(editor, line);
        caption.clear();
        declaration.clear();
        headless::ExpectDialog([&, button](headless::DialogDriver& d) {
            EXPECT_EQ(d.TemplateId(), IDD_FUNCTION);
            caption = d.Caption();
            declaration = d.Text(IDC_DECLARATION);
            if (button == 0)
                d.Close();
            else
                d.Press(button);
        });
        return AddInCommand(CmdCurrentFunction);
    }

    std::int32_t Caret() { return host().Editor(editor)->selection.start; }
    std::int32_t LineStart(int line) { return LineIndexOf(host().Editor(editor)->text, line - 1); }

    HostWindow editor = 0;
    std::string caption, declaration;
    // Lines 3 to 6 hold the function; its brace stands on line 4.
    std::string text = "#include <stdio.h>\n\n"
                       "int main(int argc, char *argv[])\n{\n    return argc;\n}\n\nint after;\n";
};

TEST_F(FunctionDialogCommand, ShowsTheNameAsCaptionAndTheWholeDeclaration) {
    Run(text, 5, UiIdCancel);
    EXPECT_EQ(caption, "main");
    EXPECT_EQ(declaration, "int main(int argc, char *argv[])");
}

TEST_F(FunctionDialogCommand, GoToStartLandsOnTheLineAboveTheBrace) {
    EXPECT_EQ(Run(text, 5, IDC_GOTO_START), 3);
    EXPECT_EQ(Caret(), LineStart(3));
    EXPECT_EQ(host().Editor(editor)->selection.end, LineStart(3));
    EXPECT_EQ(host().Editor(editor)->scrolls, 1);
}

TEST_F(FunctionDialogCommand, GoToEndLandsOnTheClosingBrace) {
    EXPECT_EQ(Run(text, 3, IDC_GOTO_END), 6);
    EXPECT_EQ(Caret(), LineStart(6));
    EXPECT_EQ(host().Editor(editor)->scrolls, 1);
}

TEST_F(FunctionDialogCommand, CloseAndTheCloseBoxMoveNothing) {
    EXPECT_EQ(Run(text, 5, UiIdCancel), 0);
    EXPECT_EQ(Caret(), LineStart(5));
    EXPECT_EQ(Run(text, 5, 0), 0);
    EXPECT_EQ(Caret(), LineStart(5));
    EXPECT_EQ(host().Editor(editor)->scrolls, 0);
}

TEST_F(FunctionDialogCommand, ABraceOnTheFirstLineMakesGoToStartANoOp) {
    std::string first = "int f(void) {\n    return 0;\n}\n";
    EXPECT_EQ(Run(first, 2, IDC_GOTO_START), 0);
    EXPECT_EQ(caption, "f");
    EXPECT_EQ(declaration, "int f(void) ");
    EXPECT_EQ(Caret(), LineStart(2));
    EXPECT_EQ(host().Editor(editor)->scrolls, 0);
    EXPECT_EQ(Run(first, 2, IDC_GOTO_END), 3);
    EXPECT_EQ(Caret(), LineStart(3));
}

TEST_F(FunctionDialogCommand, TheSecondOfTwoFunctionsIsFound) {
    std::string two = "int f(void)\n{\n    ;\n}\nstatic char *g(int n)\n{\n    return 0;\n}\n";
    EXPECT_EQ(Run(two, 7, IDC_GOTO_START), 5);
    EXPECT_EQ(caption, "g");
    EXPECT_EQ(declaration, "static char *g(int n)");
}

TEST_F(FunctionDialogCommand, AnEmptyNameGivesAnEmptyCaption) {
    Run("(void)\n{\n    return;\n}\n", 3, UiIdCancel);
    EXPECT_EQ(declaration, "(void)");
    EXPECT_EQ(caption, "");
}

TEST_F(FunctionDialogCommand, OutsideEveryFunctionOnlyTheWarningIsShown) {
    editor = OpenEditor(text);
    PutCaretOnLine(editor, 8);
    AddInCommand(CmdCurrentFunction);
    EXPECT_TRUE(headless::OpenedDialogs().empty());
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "You're not in a function body.\n");
    EXPECT_EQ(Caret(), LineStart(8));
}

TEST_F(FunctionDialogCommand, SizeMessagesAreHandledAndOthersLeftToTheSystem) {
    editor = OpenEditor(text);
    PutCaretOnLine(editor, 5);
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Send(UiMsgSize, 0, 0), 1);
        EXPECT_EQ(d.Send(0x0200, 0, 0), 0);
        EXPECT_FALSE(d.Ended());
        d.Press(IDC_GOTO_END);
    });
    EXPECT_EQ(AddInCommand(CmdCurrentFunction), 6);
}

// ---- Command 7: find element usage ------------------------------------------------

class FindUsageCommand : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        Load();
    }
    void Select(std::int32_t start, std::int32_t end) {
        host().Editor(editor)->selection = {start, end};
    }
    HostSelection Selection() { return host().Editor(editor)->selection; }

    HostWindow editor = 0;
};

TEST_F(FindUsageCommand, PassesOverOtherCaseAndSelectsTheNextMatch) {
    std::string text = "int count;\nint Count;\ncount = Count + count;\n";
    editor = OpenEditor(text);
    Select(4, 9); // the first "count"
    EXPECT_EQ(AddInCommand(CmdFindUsage), 1);
    std::int32_t next = static_cast<std::int32_t>(text.find("count", 9));
    EXPECT_EQ(Selection().start, next);
    EXPECT_EQ(Selection().end, next + 5);
    EXPECT_EQ(host().Editor(editor)->scrolls, 1);

    // A second run goes on from the match.
    AddInCommand(CmdFindUsage);
    std::int32_t third = static_cast<std::int32_t>(text.rfind("count"));
    EXPECT_EQ(Selection().start, third);
    EXPECT_EQ(Selection().end, third + 5);
    EXPECT_EQ(text.substr(third, 5), "count");
}

TEST_F(FindUsageCommand, NoFurtherMatchLeavesTheSelectionAlone) {
    editor = OpenEditor("int count;\nint Count;\n");
    Select(4, 9);
    EXPECT_EQ(AddInCommand(CmdFindUsage), 0);
    EXPECT_EQ(Selection().start, 4);
    EXPECT_EQ(Selection().end, 9);
    EXPECT_EQ(host().Editor(editor)->scrolls, 0);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(FindUsageCommand, NoSelectionDoesNothing) {
    editor = OpenEditor("int count;\nint count;\n", "C:\\a.c", 4);
    EXPECT_EQ(AddInCommand(CmdFindUsage), 0);
    EXPECT_EQ(Selection().start, 4);
    EXPECT_EQ(Selection().end, 4);
    EXPECT_EQ(host().Editor(editor)->scrolls, 0);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(FindUsageCommand, ALongSelectionIsSearchedAsFarAsTheHostCopiesIt) {
    std::string text = std::string(5000, 'a') + "X" + std::string(5000, 'a');
    editor = OpenEditor(text);
    Select(0, 5000);
    EXPECT_EQ(AddInCommand(CmdFindUsage), 1);
    EXPECT_EQ(Selection().start, 5001);
    EXPECT_EQ(Selection().end, 5001 + 4095);
}

TEST_F(FindUsageCommand, MatchesSpanningLinesAreSelectedWhole) {
    std::string text = "a\r\nb; a\r\nb;\n";
    editor = OpenEditor(text);
    Select(0, 4);
    AddInCommand(CmdFindUsage);
    EXPECT_EQ(Selection().start, 6);
    EXPECT_EQ(Selection().end, 10);
}

} // namespace
} // namespace kelpin::testing
