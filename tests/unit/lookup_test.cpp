// The current-function lookup: which function holds a caret line, the record
// it fills, and commands 3 and 5 when no function holds the caret.
#include <gmock/gmock.h>

#include <cstring>
#include <string>

#include "fixture.h"
#include "resources/resource.h"
#include "scanner/lookup.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Runs the lookup as the dispatcher does, for caret line caret.
CurrentFunction Find(const std::string& text, std::int32_t caret) {
    return FindCurrentFunction(text.c_str(), caret);
}

// The function found at each caret line from 1 to last, by name ("" when none).
std::vector<std::string> NamesByLine(const std::string& text, int last) {
    std::vector<std::string> names;
    for (int line = 1; line <= last; ++line) {
        const CurrentFunction f = Find(text, line);
        EXPECT_EQ(f.declaration[0] == '\0', f.name[0] == '\0') << "line " << line;
        names.push_back(f.name);
    }
    return names;
}

class Lookup : public ::testing::Test {};

TEST_F(Lookup, HeaderAndBodyLinesHoldTheCaretButNotTheClosingBrace) {
    const std::string text = "int f(void)\n{\nreturn 0;\n}";
    for (int line = 1; line <= 3; ++line) {
        const CurrentFunction& f = Find(text, line);
        EXPECT_STREQ(f.declaration, "int f(void)") << "line " << line;
        EXPECT_STREQ(f.name, "f");
        EXPECT_EQ(f.startLine, 1);
        EXPECT_EQ(f.endLine, 4);
    }
    EXPECT_STREQ(Find(text, 4).declaration, "");
    EXPECT_STREQ(Find(text, 4).name, "");
}

TEST_F(Lookup, BraceOnTheHeaderLineTakesInTheLineAbove) {
    const std::string text = "/* f */\nint f(void) {\n  x;\n}\n";
    EXPECT_THAT(NamesByLine(text, 5), ElementsAre("f", "f", "f", "", ""));
    EXPECT_EQ(Find(text, 1).startLine, 1);
    EXPECT_EQ(Find(text, 1).endLine, 4);
    // On the first line of the text it starts at line 0.
    const CurrentFunction& f = Find("int f(void) {\n}\n", 1);
    EXPECT_STREQ(f.name, "f");
    EXPECT_EQ(f.startLine, 0);
    EXPECT_EQ(f.endLine, 2);
}

TEST_F(Lookup, FindsTheFunctionAmongOthers) {
    const std::string text = "int x;\n"            // 1
                             "int f(void)\n"       // 2
                             "{\n"                 // 3
                             "}\n"                 // 4
                             "\n"                  // 5
                             "static int\n"        // 6
                             "g(int a)\n"          // 7
                             "{\n"                 // 8
                             "  if (a) {\n"        // 9
                             "  }\n"               // 10
                             "}\n"                 // 11
                             "char *h(void) {}\n"; // 12
    EXPECT_THAT(NamesByLine(text, 13),
                ElementsAre("", "f", "f", "", "", "", "intg", "intg", "intg", "intg", "h", "", ""));
    // The line end joins "int" and "g" without a blank.
    const CurrentFunction& g = Find(text, 9);
    EXPECT_STREQ(g.declaration, "static intg(int a)");
    EXPECT_EQ(g.startLine, 7);
    EXPECT_EQ(g.endLine, 11);
}

TEST_F(Lookup, BodyLeftOpenHoldsEveryLineAfterItsStart) {
    // The old end line would point nowhere: it is 0 until a brace closes.
    ASSERT_EQ(Find("int f(void)\n{\n}\n", 1).endLine, 3);
    const CurrentFunction& f = Find("int a(void) {}\nint f(void)\n{\n  if (x) {\n", 4);
    EXPECT_STREQ(f.name, "f");
    EXPECT_EQ(f.startLine, 2);
    EXPECT_EQ(f.endLine, 0);
    EXPECT_STREQ(Find("int a(void) {}\nint f(void)\n{\n", 1).name, "");
}

TEST_F(Lookup, LongDeclarationIsCutButItsNameStillFound) {
    const std::string head = "static " + std::string(600, 'x') + " ";
    const CurrentFunction& f = Find(head + "name(void)\n{\n}\n", 1);
    EXPECT_EQ(std::strlen(f.declaration), 511u);
    EXPECT_EQ(std::string(f.declaration), (head + "name(void)").substr(0, 511));
    EXPECT_STREQ(f.name, "name");
    // A name longer than the record keeps its first 511 characters.
    const std::string longName(700, 'n');
    EXPECT_EQ(std::string(Find(longName + "(void)\n{\n}", 1).name), longName.substr(0, 511));
}

TEST(FunctionName, IsTheIdentifierBeforeTheFirstParenthesis) {
    EXPECT_EQ(FunctionNameOf("int main(int argc, char *argv[])"), "main");
    EXPECT_EQ(FunctionNameOf("char *strdup (const char *s)"), "strdup");
    EXPECT_EQ(FunctionNameOf("main(void)"), "main");
    EXPECT_EQ(FunctionNameOf("int (*handler(int sig))(int)"), "int");
    EXPECT_EQ(FunctionNameOf("void f_2 \t\v\f\r\n(void)"), "f_2");
    EXPECT_EQ(FunctionNameOf("static intfoo(void)"), "intfoo");
}

TEST(FunctionName, EmptyWithoutAnIdentifierBeforeIt) {
    EXPECT_EQ(FunctionNameOf("(void) x"), "");
    EXPECT_EQ(FunctionNameOf("int *(void)"), "");
    EXPECT_EQ(FunctionNameOf("  (void)"), "");
    EXPECT_EQ(FunctionNameOf(""), "");
    // No parenthesis at all: the whole text.
    EXPECT_EQ(FunctionNameOf("int x = "), "int x = ");
}

TEST_F(Lookup, NameComesFromTheKeptDeclarationOnly) {
    EXPECT_STREQ(Find("int (*handler(int sig))(int)\n{\n}\n", 1).name, "int");
    // A function that started above the caret but ended before it leaves
    // no name behind, nor does one that starts below it.
    EXPECT_STREQ(Find("int f(void)\n{\n}\nint x;\n", 4).name, "");
    EXPECT_STREQ(Find("int x;\nint f(void)\n{\n}\n", 1).name, "");
    // Found, but with no name to give.
    const CurrentFunction& f = Find("(*p)(void)\n{\n}\n", 1);
    EXPECT_STREQ(f.declaration, "(*p)(void)");
    EXPECT_STREQ(f.name, "");
}

// Commands 3 and 5 through the dispatcher.
class FunctionCommands : public HostTest {};

TEST_F(FunctionCommands, CaretOutsideEveryBodyShowsTheWarning) {
    Load();
    const std::string text = "int f(void)\n{\nreturn 0;\n}\nint x;\n";
    for (std::int32_t command : {CmdCurrentFunction, CmdFunctionComment}) {
        HostWindow editor = OpenEditor(text);
        PutCaretOnLine(editor, 4);
        headless::MessageBoxes().clear();
        AddInCommand(command);
        ASSERT_EQ(headless::MessageBoxes().size(), 1u) << "command " << command;
        const headless::MessageBoxRecord& box = headless::MessageBoxes()[0];
        EXPECT_EQ(box.text, "You're not in a function body.\n");
        EXPECT_EQ(box.caption, "Function");
        EXPECT_EQ(box.flags, UiBoxIconWarning);
        EXPECT_EQ(box.owner, main);
        EXPECT_THAT(headless::OpenedDialogs(), IsEmpty());
        // The caret stays where it was.
        EXPECT_EQ(host().Editor(editor)->selection.start, LineIndexOf(text, 3));
    }
}

TEST_F(FunctionCommands, CaretInABodyOpensTheDialogOnTheRecord) {
    Load();
    const std::string text = "int x;\nint f(void)\n{\nreturn 0;\n}\n";
    HostWindow editor = OpenEditor(text);
    PutCaretOnLine(editor, 3);
    std::string caption, declaration;
    headless::ExpectDialog([&](headless::DialogDriver& dialog) {
        caption = dialog.Caption();
        declaration = dialog.Text(IDC_DECLARATION);
        dialog.Press(IDC_GOTO_END);
    });
    AddInCommand(CmdCurrentFunction);
    EXPECT_THAT(headless::MessageBoxes(), IsEmpty());
    EXPECT_THAT(headless::OpenedDialogs(), ElementsAre(IDD_FUNCTION));
    EXPECT_EQ(caption, "f");
    EXPECT_EQ(declaration, "int f(void)");
    // "Go to end" ends it on the closing brace's line 5: the caret goes there.
    EXPECT_EQ(host().Editor(editor)->selection.start, LineIndexOf(text, 4));
}

} // namespace
} // namespace kelpin::testing
