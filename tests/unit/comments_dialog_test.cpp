// Finding blocks in the editor and the two comment dialogs, run on the
// headless host: commands 5 and 9 from end to end, and the dialogs opened
// directly on a function record.
#include <gmock/gmock.h>

#include <cstring>
#include <random>
#include <string>

#include "comments/comments.h"
#include "fixture.h"
#include "resources/resource.h"

namespace kelpin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr char FirstDate[] = "Wed Sep  7 16:54:26 2005";
constexpr char SecondDate[] = "Tue Feb 14 09:01:02 2006";

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

// True when every C comment in text is closed and no "*/" stands outside
// one: the file still compiles as far as comments go.
bool CommentsBalanced(const std::string& text) {
    bool inside = false;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        std::string_view two(text.data() + i, 2);
        if (!inside && two == "/*") {
            inside = true;
            ++i;
        } else if (two == "*/") {
            if (!inside) return false;
            inside = false;
            ++i;
        }
    }
    return !inside;
}

std::int32_t LineOf(const std::string& text, const std::string& piece) {
    std::size_t at = text.find(piece);
    return static_cast<std::int32_t>(std::count(text.begin(), text.begin() + at, '\n'));
}

class CommentTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        Load();
        headless::SetClock(At(2005, 9, 7, 16, 54, 26, 3));
    }
    std::string& Text() { return host().Editor(editor)->text; }
    HostSelection Selection() { return host().Editor(editor)->selection; }
    void Open(const std::string& text, const std::string& path = "C:\\src\\test.c") {
        editor = OpenEditor(text, path);
    }
    // The caret on the line holding piece, after its first character.
    void CaretAt(const std::string& piece) {
        auto at = static_cast<std::int32_t>(Text().find(piece)) + 1;
        host().Editor(editor)->selection = {at, at};
    }
    HostWindow editor = 0;
};

// ---- Locating a block -------------------------------------------------------

class LocateBlock : public CommentTest {
  protected:
    std::string Fn(const char* name) {
        return BuildFunctionBlock(name, "", std::string("about ") + name, "", "", "");
    }
    std::int32_t Locate(const char* name, const std::string& header, std::string* block) {
        return LocateCommentBlock(main, "Procedure", name, LineOf(Text(), header), LocateByLine,
                                  block);
    }
};

TEST_F(LocateBlock, FindsTheBlockRightAboveAFunctionAmongSeveral) {
    std::string module = BuildModuleBlock("test.c", "", "me", "", "", "");
    Open(module + "#include <stdio.h>\n\n" + Fn("alpha") + "int alpha(void)\n{\n}\n\n" +
         Fn("beta") + "int beta(void)\n{\n}\n");
    std::string block;
    std::int32_t at = Locate("beta", "int beta", &block);
    EXPECT_EQ(at, static_cast<std::int32_t>(Text().find(Fn("beta"))));
    EXPECT_EQ(block, Fn("beta"));
    EXPECT_EQ(Selection().start, at);
    EXPECT_EQ(Selection().end, at + static_cast<std::int32_t>(block.size()));

    at = Locate("alpha", "int alpha", &block);
    EXPECT_EQ(block, Fn("alpha"));
    EXPECT_EQ(Text().substr(at, block.size()), block);

    // Module mode: the first block from the top, its name the file name.
    EXPECT_EQ(LocateCommentBlock(main, "Module", "test.c", 0, LocateModule, &block), 0);
    EXPECT_EQ(block, module);
}

TEST_F(LocateBlock, NameMustMatchExactly) {
    Open(Fn("foobar") + "int foo(void)\n{\n}\n");
    std::string block = "stale";
    EXPECT_EQ(Locate("foo", "int foo", &block), -1);
    EXPECT_EQ(block, "");
    EXPECT_EQ(Locate("foobar", "int foo", &block), 0);
    EXPECT_EQ(Locate("fooba", "int foo", &block), -1);
}

TEST_F(LocateBlock, WhitespaceInTheNameLineIsIgnored) {
    Open("/*-@@+@@---\n Procedure  :   my_func  \n @@-@@-*/\nint my_func(void)\n{\n}\n");
    std::string block;
    EXPECT_EQ(Locate("my_func", "int my_func", &block), 0);
    Open(BuildModuleBlock("my file.c", "", "", "", "", "") + "int x;\n", "C:\\my file.c");
    EXPECT_EQ(LocateCommentBlock(main, "Module", "my file.c", 0, LocateModule, &block), 0);
}

TEST_F(LocateBlock, BlocksWithoutLabelOrColonAreNotFound) {
    std::string block;
    Open("/*-@@+@@\n Function: f\n@@-@@-*/\nint f(void)\n{\n}\n");
    EXPECT_EQ(Locate("f", "int f", &block), -1);
    Open("/*-@@+@@\n Procedure f\n@@-@@-*/\nint f(void)\n{\n}\n");
    EXPECT_EQ(Locate("f", "int f", &block), -1);
    Open("/*-@@+@@\n Procedure: f\nint f(void)\n{\n}\n");
    EXPECT_EQ(Locate("f", "int f", &block), -1); // no end marker
    Open("@@-@@-*/\n Procedure: f\nint f(void)\n{\n}\n");
    EXPECT_EQ(Locate("f", "int f", &block), -1); // no start marker
}

TEST_F(LocateBlock, StartMarkerBelowTheEndMarkerIsNoBlock) {
    // The lower block lost its end by hand: its start marker stands below the
    // upper block's end marker, and neither is taken.
    Open(Fn("f") + "/*-@@+@@---\n Procedure: f\n Created  : x\nint f(void)\n{\n}\n");
    std::string block;
    EXPECT_EQ(Locate("f", "int f", &block), -1);
    EXPECT_EQ(block, "");
}

TEST_F(LocateBlock, SelectionTakesOnlyTheLineBreakAfterTheEndMarker) {
    std::string block;
    Open("/*-@@+@@\n Procedure: f\n @@-@@-*/int kept;\nint f(void)\n{\n}\n");
    ASSERT_EQ(Locate("f", "int f", &block), 0);
    EXPECT_THAT(block, ::testing::EndsWith("@@-@@-*/"));
    EXPECT_EQ(Text().substr(Selection().end, 9), "int kept;");

    Open("/*-@@+@@\r\n Procedure: f\r\n @@-@@-*/\r\nint f(void)\r\n{\r\n}\r\n");
    ASSERT_EQ(Locate("f", "int f", &block), 0);
    EXPECT_THAT(block, ::testing::EndsWith("@@-@@-*/\r\n"));
    EXPECT_EQ(Text().substr(Selection().end, 5), "int f");

    // At the very end of the text.
    Open("int f(void)\n{\n}\n/*-@@+@@\n Module: m.c\n@@-@@-*/", "C:\\m.c");
    EXPECT_EQ(LocateCommentBlock(main, "Module", "m.c", 0, LocateModule, &block), 16);
    EXPECT_EQ(Selection().end, static_cast<std::int32_t>(Text().size()));
}

// The CLI finds blocks in a file's text; the dialogs find them in the host's
// editor. On texts put together from blocks, headers, braces and hand edits,
// both find the same block (or insertion point) and read the same fields.
TEST_F(LocateBlock, TheTextSearchAgreesWithTheDialogs) {
    const std::string pieces[] = {Fn("f"),
                                  Fn("g"),
                                  BuildModuleBlock("test.c", "", "me", "", "", ""),
                                  "int f(void)\n",
                                  "static int\ng(int a)\n",
                                  "{\n",
                                  "  x();\n",
                                  "}\n",
                                  "\r\n",
                                  "/*-@@+@@\n",
                                  " @@-@@-*/\n",
                                  " Procedure: f\n",
                                  "int g(void) {\n",
                                  "\n"};
    std::mt19937 random(20261209);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int n = std::uniform_int_distribution<int>(1, 14)(random); n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        Open(text);
        for (const char* name : {"f", "g"}) {
            CurrentFunction function{};
            std::strcpy(function.name, name);
            int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
            function.startLine = std::uniform_int_distribution<int>(0, lines + 2)(random);
            HostSelection shown{-1, -1};
            std::string created = "none";
            headless::ExpectDialog([&](headless::DialogDriver& d) {
                shown = Selection();
                created = d.Text(IDC_CREATED);
            });
            ShowFunctionCommentDialog({0, main}, function);
            BlockSite site = FindFunctionBlock(text, function);
            ASSERT_EQ(site.start, std::min(shown.start, shown.end))
                << ::testing::PrintToString(text);
            ASSERT_EQ(site.end, std::max(shown.start, shown.end)) << ::testing::PrintToString(text);
            ASSERT_EQ(ReadBlockFields(BlockKind::Function, site.block).created, created);
        }
        HostSelection shown{-1, -1};
        headless::ExpectDialog([&](headless::DialogDriver&) { shown = Selection(); });
        AddInCommand(CmdModuleComment);
        BlockSite site = FindModuleBlock(text, "test.c");
        ASSERT_EQ(site.start, shown.start) << ::testing::PrintToString(text);
        ASSERT_EQ(site.end, shown.end) << ::testing::PrintToString(text);
    }
}

// ---- Command 5 --------------------------------------------------------------

using FunctionComment = CommentTest;

TEST_F(FunctionComment, InsertsABlockAboveTheHeaderAndRestoresTheSelection) {
    Open("int x;\n\nint alpha(int a)\n{\n    return a;\n}\n");
    CaretAt("return");
    HostSelection saved = Selection();
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.TemplateId(), IDD_FUNCTION_COMMENT);
        EXPECT_EQ(d.Caption(), "alpha");
        EXPECT_EQ(d.Text(IDC_DECLARATION), "int alpha(int a)");
        for (int id : {IDC_CREATED, IDC_MODIFIED, IDC_SYNOPSIS, IDC_INPUT, IDC_OUTPUT, IDC_ERRORS})
            EXPECT_EQ(d.Text(id), "") << id;
        d.Type(IDC_SYNOPSIS, "Gives a back.\r\n\r\nNothing else.");
        d.Type(IDC_INPUT, "a: any int");
        d.Press(UiIdOk);
        EXPECT_TRUE(d.Ended());
        EXPECT_EQ(d.Result(), -1);
    });
    AddInCommand(CmdFunctionComment);
    EXPECT_EQ(Text(),
              "int x;\n\n"
              "/*-@@+@@--------------------------------[Do not edit manually]------------\n"
              " Procedure: alpha\n"
              " Created  : Wed Sep  7 16:54:26 2005\n"
              " Modified : Wed Sep  7 16:54:26 2005\n"
              "\n"
              " Synopsys : Gives a back.\n"
              "            \n"
              "            Nothing else.\n"
              " Input    : a: any int\n"
              " Output   : \n"
              " Errors   : \n"
              " ------------------------------------------------------------------@@-@@-*/\n"
              "int alpha(int a)\n{\n    return a;\n}\n");
    // Put back by its positions, not moved along with the text.
    EXPECT_EQ(Selection().start, saved.start);
    EXPECT_EQ(Selection().end, saved.end);
    EXPECT_GE(host().Editor(editor)->scrolls, 1);
}

TEST_F(FunctionComment, EditsTheBlockInPlaceKeepingCreated) {
    Open("int alpha(void)\n{\n    return 0;\n}\n");
    CaretAt("return");
    headless::ExpectDialog([](headless::DialogDriver& d) {
        d.Type(IDC_SYNOPSIS,
               "Says nothing at all, and says it in more words than fit on one line.");
        d.Type(IDC_ERRORS, "none\r\n\r\nreally");
        d.Press(UiIdOk);
    });
    AddInCommand(CmdFunctionComment);
    std::string first = Text();

    headless::SetClock(At(2006, 2, 14, 9, 1, 2, 2));
    CaretAt("return");
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_CREATED), FirstDate);
        EXPECT_EQ(d.Text(IDC_MODIFIED), FirstDate);
        EXPECT_EQ(d.Text(IDC_SYNOPSIS),
                  "Says nothing at all, and says it in more words than fit on one line.");
        EXPECT_EQ(d.Text(IDC_INPUT), "");
        EXPECT_EQ(d.Text(IDC_ERRORS), "none\r\n\r\nreally");
        d.Type(IDC_OUTPUT, "0");
        d.Press(UiIdOk);
    });
    AddInCommand(CmdFunctionComment);
    EXPECT_EQ(Count(Text(), BlockStartMarker), 1u);
    EXPECT_THAT(Text(), HasSubstr(std::string(" Created  : ") + FirstDate +
                                  "\n Modified : " + SecondDate + "\n"));
    EXPECT_THAT(Text(), HasSubstr(" Output   : 0\n"));
    EXPECT_THAT(Text(), HasSubstr(" Errors   : none\n            \n            really\n"));
    EXPECT_TRUE(Text().ends_with("int alpha(void)\n{\n    return 0;\n}\n"));
    EXPECT_EQ(Text().size(), first.size() + 1);
}

TEST_F(FunctionComment, CancelWritesNothingAndPutsTheSelectionBack) {
    std::string text =
        BuildFunctionBlock("f", "", "keep me", "", "", "") + "void f(void)\n{\n  x();\n}\n";
    Open(text);
    auto at = static_cast<std::int32_t>(text.find("x()"));
    host().Editor(editor)->selection = {at, at + 3};
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_SYNOPSIS), "keep me");
        d.Type(IDC_SYNOPSIS, "changed");
        d.Press(UiIdCancel);
        EXPECT_EQ(d.Result(), -1);
    });
    AddInCommand(CmdFunctionComment);
    EXPECT_EQ(Text(), text);
    EXPECT_EQ(Selection().start, at);
    EXPECT_EQ(Selection().end, at + 3);
}

TEST_F(FunctionComment, OutsideEveryFunctionShowsTheWarningAndOpensNothing) {
    Open("int x;\n");
    AddInCommand(CmdFunctionComment);
    EXPECT_TRUE(headless::OpenedDialogs().empty());
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "You're not in a function body.\n");
}

TEST_F(FunctionComment, FooUnderFoobarsBlockGetsItsOwnAndFoobarsSurvives) {
    std::string foobar = BuildFunctionBlock("foobar", "", "the foobar one", "", "", "");
    Open(foobar + "int foo(void)\n{\n    return 1;\n}\n");
    CaretAt("return");
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_SYNOPSIS), "");
        d.Type(IDC_SYNOPSIS, "the foo one");
        d.Press(UiIdOk);
    });
    AddInCommand(CmdFunctionComment);
    EXPECT_THAT(Text(), StartsWith(foobar));
    EXPECT_THAT(Text(), HasSubstr("the foo one"));
    EXPECT_EQ(Count(Text(), BlockStartMarker), 2u);
}

TEST_F(FunctionComment, HandEditAfterTheEndMarkerSurvivesOk) {
    Open("/*-@@+@@\n Procedure: f\n Synopsys : old\n @@-@@-*/int kept;\nint f(void)\n{\n  "
         "y();\n}\n");
    CaretAt("y()");
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_SYNOPSIS), "old\r\n@@-@@-*/");
        d.Type(IDC_SYNOPSIS, "new");
        d.Press(UiIdOk);
    });
    AddInCommand(CmdFunctionComment);
    EXPECT_THAT(Text(), StartsWith(BlockHeaderLine));
    EXPECT_THAT(Text(), HasSubstr("@@-@@-*/\nint kept;\nint f(void)"));
    EXPECT_EQ(Count(Text(), BlockStartMarker), 1u);
    EXPECT_TRUE(CommentsBalanced(Text()));
}

TEST_F(FunctionComment, HandEditedBlockIsShownAndWrittenBackInShape) {
    std::string code = "int gamma(void)\n{\n  u();\n}\n";
    Open("/*-@@+@@ touched by hand\n"
         " Procedure :  gamma\n"
         " Created  : Mon Jan  3\n"
         " Modified : Tue Jan  4 11:00:00 2005 (late)\n"
         " Synopsys : first line\n"
         "   second line, less indent\n"
         "\n"
         "after an empty line\n"
         " Input    : x\n" +
         std::string(BlockClosingLine) + "\n" + code);
    CaretAt("u()");
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_CREATED), "Mon Jan  3");
        EXPECT_EQ(d.Text(IDC_MODIFIED), "Tue Jan  4 11:00:00 2005");
        EXPECT_EQ(d.Text(IDC_SYNOPSIS),
                  "first line\r\nsecond line, less indent\r\n\r\nafter an empty line");
        EXPECT_EQ(d.Text(IDC_INPUT), "x");
        d.Press(UiIdOk);
    });
    AddInCommand(CmdFunctionComment);
    EXPECT_EQ(Text(), BuildFunctionBlock("gamma", "Mon Jan  3",
                                         "first line\r\nsecond line, less indent\r\n\r\nafter an "
                                         "empty line",
                                         "x", "", "") +
                          code);
}

TEST_F(FunctionComment, EditorWithCrLfReadsTheBlockBackAsTyped) {
    std::string block = BuildFunctionBlock(
        "f", "", "A synopsis long enough to be broken by the writer at one of its blanks.",
        "first\r\n\r\nthird", "", "");
    std::string crlf;
    for (char c : block + "int f(void)\n{\n  z();\n}\n")
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    Open(crlf);
    CaretAt("z()");
    headless::SetClock(At(2006, 2, 14, 9, 1, 2, 2));
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_CREATED), FirstDate);
        EXPECT_EQ(d.Text(IDC_SYNOPSIS),
                  "A synopsis long enough to be broken by the writer at one of its blanks.");
        EXPECT_EQ(d.Text(IDC_INPUT), "first\r\n\r\nthird");
        EXPECT_EQ(d.Text(IDC_ERRORS), "");
        d.Press(UiIdOk);
    });
    AddInCommand(CmdFunctionComment);
    // The old block, its CR LF after the end marker included, is replaced.
    EXPECT_EQ(Text(), BuildFunctionBlock("f", FirstDate,
                                         "A synopsis long enough to be broken by the writer at "
                                         "one of its blanks.",
                                         "first\r\n\r\nthird", "", "") +
                          "int f(void)\r\n{\r\n  z();\r\n}\r\n");
}

// A function whose brace ends its header line, in three places where the
// line above the header is not free: each edited twice, the file must keep
// one block right above the header and balanced comments.
class BraceOnHeaderLine : public CommentTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BraceOnHeaderLine, BlockGoesRightAboveTheHeaderAndIsFoundAgain) {
    std::string before = GetParam();
    if (before == "module") before = BuildModuleBlock("test.c", "", "me", "", "", "");
    std::string tail = "int gamma(void) {\n    return 3;\n}\n";
    Open(before + tail);
    for (int edit = 0; edit < 2; ++edit) {
        CaretAt("return 3");
        headless::ExpectDialog([edit](headless::DialogDriver& d) {
            EXPECT_EQ(d.Text(IDC_SYNOPSIS), edit == 0 ? "" : "first edit");
            EXPECT_EQ(d.Text(IDC_INPUT), edit == 0 ? "" : "none");
            d.Type(IDC_SYNOPSIS, edit == 0 ? "first edit" : "second edit");
            if (edit == 0) d.Type(IDC_INPUT, "none");
            d.Press(UiIdOk);
        });
        AddInCommand(CmdFunctionComment);
        ASSERT_EQ(headless::OpenedDialogs().size(), static_cast<std::size_t>(edit + 1));
        EXPECT_EQ(Count(Text(), " Procedure: gamma\n"), 1u);
        EXPECT_TRUE(CommentsBalanced(Text())) << Text();
        EXPECT_THAT(Text(), StartsWith(before + BlockHeaderLine));
        EXPECT_THAT(Text(), HasSubstr(std::string(BlockClosingLine) + "\n" + tail));
    }
    EXPECT_THAT(Text(), HasSubstr(" Synopsys : second edit\n Input    : none\n"));
}

INSTANTIATE_TEST_SUITE_P(Places, BraceOnHeaderLine,
                         ::testing::Values("", "/** Returns three. */\n", "module",
                                           "int beta(void) { return 2; }\n"));

TEST_F(FunctionComment, BraceAloneOnTheFirstLineIsHandledSafely) {
    // A record as the lookup would give it for a body on the first line.
    Open("{\n  w();\n}\n");
    CurrentFunction f{};
    std::strcpy(f.declaration, "");
    std::strcpy(f.name, "w");
    f.startLine = 0;
    f.endLine = 3;
    headless::ExpectDialog([](headless::DialogDriver& d) { d.Press(UiIdOk); });
    EXPECT_EQ(ShowFunctionCommentDialog({0x400000, main}, f), -1);
    EXPECT_THAT(Text(), StartsWith(BlockHeaderLine));
    EXPECT_TRUE(Text().ends_with("@@-@@-*/\n{\n  w();\n}\n"));
}

TEST_F(FunctionComment, MultiLineHeaderGetsTheBlockAboveItsLastLine) {
    // As it always did: the brace alone below a header of two lines puts the
    // block between them.
    Open("static int\ndelta(void)\n{\n  v();\n}\n");
    CaretAt("v()");
    headless::ExpectDialog([](headless::DialogDriver& d) { d.Press(UiIdOk); });
    AddInCommand(CmdFunctionComment);
    EXPECT_THAT(Text(), StartsWith("static int\n/*-@@+@@"));
    EXPECT_THAT(Text(), HasSubstr("@@-@@-*/\ndelta(void)\n{"));
}

// ---- Command 9 --------------------------------------------------------------

using ModuleComment = CommentTest;

TEST_F(ModuleComment, InsertsAtTheTopWithTheFileNameThenEditsInPlace) {
    std::string code = "#include <stdio.h>\n";
    Open(code, "C:\\work\\src\\main.c");
    host().Editor(editor)->selection = {5, 9};
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.TemplateId(), IDD_MODULE_COMMENT);
        EXPECT_EQ(d.Caption(), "main.c");
        d.Type(IDC_AUTHOR, "Ann");
        d.Type(IDC_ABSTRACT, "The program.\r\nIt prints.");
        d.Press(UiIdOk);
        EXPECT_EQ(d.Result(), -1);
    });
    AddInCommand(CmdModuleComment);
    EXPECT_EQ(Text(),
              BuildModuleBlock("main.c", "", "Ann", "", "", "The program.\r\nIt prints.") + code);
    EXPECT_EQ(Selection().start, 5);
    EXPECT_EQ(Selection().end, 9);

    headless::SetClock(At(2006, 2, 14, 9, 1, 2, 2));
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_CREATED), FirstDate);
        EXPECT_EQ(d.Text(IDC_AUTHOR), "Ann");
        EXPECT_EQ(d.Text(IDC_ABSTRACT), "The program.\r\nIt prints.");
        d.Type(IDC_STATUS, "done");
        d.Press(UiIdOk);
    });
    AddInCommand(CmdModuleComment);
    EXPECT_EQ(Text(), BuildModuleBlock("main.c", FirstDate, "Ann", "", "done",
                                       "The program.\r\nIt prints.") +
                          code);
    EXPECT_THAT(Text(), HasSubstr(std::string(" Modified : ") + SecondDate));
}

TEST_F(ModuleComment, FileNameWithABlankFindsItsOwnBlock) {
    Open("int x;\n", "C:\\my docs\\my file.c");
    for (int edit = 0; edit < 3; ++edit) {
        headless::ExpectDialog([](headless::DialogDriver& d) { d.Press(UiIdOk); });
        AddInCommand(CmdModuleComment);
    }
    EXPECT_EQ(Count(Text(), BlockStartMarker), 1u);
    EXPECT_THAT(Text(), StartsWith(std::string(BlockHeaderLine) + "\n Module   : my file.c\n"));
}

TEST_F(ModuleComment, CancelChangesNothing) {
    std::string text = BuildModuleBlock("a.c", "", "me", "", "", "") + "int y;\n";
    Open(text, "C:\\a.c");
    host().Editor(editor)->selection = {3, 3};
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_AUTHOR), "me");
        d.Type(IDC_AUTHOR, "someone else");
        d.Close();
    });
    AddInCommand(CmdModuleComment);
    EXPECT_EQ(Text(), text);
    EXPECT_EQ(Selection().start, 3);
}

TEST_F(ModuleComment, AnotherModulesBlockAtTheTopIsLeftAlone) {
    std::string other = BuildModuleBlock("old.c", "", "", "", "", "");
    Open(other + "int z;\n", "C:\\new.c");
    headless::ExpectDialog([](headless::DialogDriver& d) {
        EXPECT_EQ(d.Text(IDC_CREATED), "");
        d.Press(UiIdOk);
    });
    AddInCommand(CmdModuleComment);
    EXPECT_THAT(Text(), StartsWith(std::string(BlockHeaderLine) + "\n Module   : new.c\n"));
    EXPECT_THAT(Text(), HasSubstr(other + "int z;\n"));
}

TEST_F(ModuleComment, NoEditorEndsTheDialogAtOnce) {
    headless::ExpectDialog([](headless::DialogDriver&) { ADD_FAILURE() << "shown"; });
    EXPECT_EQ(ShowModuleCommentDialog({0x400000, main}, "x.c"), -1);
    EXPECT_EQ(headless::OpenedDialogs(), std::vector<int>{IDD_MODULE_COMMENT});
}

} // namespace
} // namespace kelpin::testing
