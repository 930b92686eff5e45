// The function scanner: what it hands to its handlers, and when it stops.
#include <gmock/gmock.h>

#include <random>
#include <string>
#include <vector>

#include "scanner/scanner.h"
#include "support/reference_scanner.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

ScanCall Begin(std::int32_t line, std::string declaration) {
    return {true, line, std::move(declaration)};
}
ScanCall End(std::int32_t line) {
    return {false, line, {}};
}

struct Recorder {
    std::vector<ScanCall> calls;
    int endsBeforeStop = -1; // -1: never stop
};

void RecordBegin(std::int32_t line, const char* declaration, void* context) {
    static_cast<Recorder*>(context)->calls.push_back(Begin(line, declaration));
}
int RecordEnd(std::int32_t line, void* context) {
    auto* r = static_cast<Recorder*>(context);
    r->calls.push_back(End(line));
    return r->endsBeforeStop < 0 || --r->endsBeforeStop > 0 ? 1 : 0;
}

// The calls ScanFunctions makes on text (up to its first zero byte, as a C
// string).
std::vector<ScanCall> Scan(const std::string& text, int endsBeforeStop = -1) {
    Recorder r;
    r.endsBeforeStop = endsBeforeStop;
    ScanFunctions(text.c_str(), RecordBegin, RecordEnd, &r);
    return r.calls;
}

TEST(Scanner, TextWithoutFunctionsCallsNothing) {
    EXPECT_THAT(Scan(""), IsEmpty());
    EXPECT_THAT(Scan("int x = 1;\nchar *p;\n"), IsEmpty());
    EXPECT_THAT(Scan("int f(void);"), IsEmpty());
    EXPECT_THAT(Scan("struct s { int a; };"), IsEmpty());
    // Parameter declarations before the body: the ";" clears the header.
    EXPECT_THAT(Scan("int f(a)\nint a;\n{\n}\n"), IsEmpty());
}

TEST(Scanner, ReportsBraceLinesAndDeclaration) {
    EXPECT_THAT(Scan("int f(void)\n{\n}\n"), ElementsAre(Begin(1, "int f(void)"), End(3)));
    EXPECT_THAT(Scan("int f(void) {\n}"), ElementsAre(Begin(0, "int f(void) "), End(2)));
    EXPECT_THAT(Scan("int f(void)\n{\n    if (x) {\n        y();\n    }\n    return 0;\n}\n"),
                ElementsAre(Begin(1, "int f(void)"), End(7)));
}

TEST(Scanner, EndHandlerMayBeAbsent) {
    Recorder r;
    ScanFunctions("int f(void) {\n}\nint g(void) {\n}\n", RecordBegin, nullptr, &r);
    EXPECT_THAT(r.calls, ElementsAre(Begin(0, "int f(void) "), Begin(2, "int g(void) ")));
}

TEST(Scanner, InitialisedTableOfFunctionPointersCountsAsFunction) {
    EXPECT_THAT(Scan("int (*table[])(void) = { f, g };\nint x;"),
                ElementsAre(Begin(0, "int (*table[])(void) = "), End(1)));
}

TEST(Scanner, EachBeginGetsItsOwnDeclaration) {
    // Bodies without any ";" do not glue one declaration to the next.
    EXPECT_THAT(Scan("void a(void) {}\nvoid b(void) {}\nstatic int\nc(int x)\n{\n}\n"),
                ElementsAre(Begin(0, "void a(void) "), End(1), Begin(1, "void b(void) "), End(2),
                            Begin(4, "static intc(int x)"), End(6)));
}

TEST(Scanner, StopsWhenEndHandlerSaysSo) {
    const std::string text = "int f(void) {\n}\nint g(void) {\n}\n";
    EXPECT_THAT(Scan(text, 1), ElementsAre(Begin(0, "int f(void) "), End(2)));
    EXPECT_THAT(Scan(text, 2),
                ElementsAre(Begin(0, "int f(void) "), End(2), Begin(2, "int g(void) "), End(4)));
}

TEST(ScannerText, CarriageReturnsAreNotThere) {
    const std::string lf = "/* a\n b */ static int\n  f(char *s, int n)\t\n{\n\"x\\\ny\";\n}\n"
                           "// c \\\n d {\n#define X \\\n {\nint g(void) {}\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_THAT(Scan(lf), ElementsAre(Begin(3, "static int f(char *s, int n) "), End(7),
                                      Begin(11, "int g(void) "), End(12)));
    EXPECT_EQ(Scan(crlf), Scan(lf));
    // Any number in a row, and at the very end.
    std::string many;
    for (char c : lf)
        many += c == '\n' ? std::string("\r\r\n\r") : std::string(1, c);
    EXPECT_EQ(Scan(many + "\r"), Scan(lf));
    // A carriage return alone is no line break.
    EXPECT_THAT(Scan("static int\rf(void)\r{\r}\n"),
                ElementsAre(Begin(0, "static intf(void)"), End(1)));
    // A backslash, carriage return, line feed still continues the line.
    EXPECT_THAT(Scan("#define A \\\r\n{\nint f(void) {}"),
                ElementsAre(Begin(2, "int f(void) "), End(3)));
}

TEST(ScannerText, ZeroByteEndsTheText) {
    EXPECT_THAT(Scan(std::string("int f(void)\n{\n\0}\n", 17)),
                ElementsAre(Begin(1, "int f(void)")));
    EXPECT_THAT(Scan(std::string("int f(void)\0{}", 14)), IsEmpty());
}

TEST(ScannerText, BlanksCollapseWithinALine) {
    EXPECT_THAT(Scan("static \t  int\t\tf( int  a )\n{}"),
                ElementsAre(Begin(1, "static int f( int a )"), End(2)));
    // Line ends join without a blank; a continuation line's indent gives one.
    EXPECT_THAT(Scan("static int\nfoo(void)\n    \t __attribute__((x))\n{}"),
                ElementsAre(Begin(3, "static intfoo(void) __attribute__((x))"), End(4)));
    // A trailing blank before a brace on the next line stays.
    EXPECT_THAT(Scan("int f(void)\t\n{}"), ElementsAre(Begin(1, "int f(void) "), End(2)));
    // A blank after a comment, literal or line end is stored even after a blank.
    EXPECT_THAT(Scan("int /* x */ f(void) {}"), ElementsAre(Begin(0, "int  f(void) "), End(1)));
    EXPECT_THAT(Scan("int \n f(void) {}"), ElementsAre(Begin(1, "int  f(void) "), End(2)));
    EXPECT_THAT(Scan("int '' f(void) {}"), ElementsAre(Begin(0, "int  f(void) "), End(1)));
    // Nothing leads the declaration.
    EXPECT_THAT(Scan("  \t f(void) {}"), ElementsAre(Begin(0, "f(void) "), End(1)));
}

TEST(ScannerText, LoneSlashIsDroppedAndStarsKeptOnlyWhileCollecting) {
    EXPECT_THAT(Scan("a/b int f(void) {}"), ElementsAre(Begin(0, "ab int f(void) "), End(1)));
    EXPECT_THAT(Scan("char *\n*f(int **p) {}"),
                ElementsAre(Begin(1, "char **f(int **p) "), End(2)));
    // Inside a body or a directive a star is not collected, and so cannot
    // lead the next declaration.
    EXPECT_THAT(Scan("int f(void) { x = *p }\n#define D(x) *x\nint g(void) {}"),
                ElementsAre(Begin(0, "int f(void) "), End(1), Begin(2, "int g(void) "), End(3)));
}

TEST(ScannerText, DeclarationKeepsItsFirst4095Characters) {
    const std::string longest = "f()" + std::string(4092, 'a');
    ASSERT_EQ(longest.size(), 4095u);
    EXPECT_THAT(Scan(longest + "\n{}"), ElementsAre(Begin(1, longest), End(2)));
    EXPECT_THAT(Scan(longest + "bcd  e\n{}"), ElementsAre(Begin(1, longest), End(2)));
    // A ")" past the cap is lost, and with it the function.
    EXPECT_THAT(Scan("f(" + std::string(4093, 'a') + ")\n{}"), IsEmpty());
    // A ";" empties the buffer: the next declaration has all of it again.
    EXPECT_THAT(Scan(std::string(5000, 'x') + ";\nint f(void) {}"),
                ElementsAre(Begin(1, "int f(void) "), End(2)));
}

TEST(ScannerSkips, BracesInCommentsLiteralsAndDirectivesDoNotCount) {
    EXPECT_THAT(Scan("int f(void)\n{\n  c = '{';\n  s = \"}}\";\n  /* } */ // }\n#define Q }\n"
                     "  t = '\\'';\n  u = \"\\\\\\\"}\";\n}\nint g(void) {}"),
                ElementsAre(Begin(1, "int f(void)"), End(9), Begin(9, "int g(void) "), End(10)));
    // An escaped backslash escapes nothing: the quote after it closes.
    EXPECT_THAT(Scan("int f(void) { s = \"\\\\\"; }\n"),
                ElementsAre(Begin(0, "int f(void) "), End(1)));
    // Parentheses and ";" inside them neither make a function nor clear it.
    EXPECT_THAT(Scan("struct /* f() */ s { int a; };"), IsEmpty());
    EXPECT_THAT(Scan("int f(void) /* ; */ \";\" {}"),
                ElementsAre(Begin(0, "int f(void)   "), End(1)));
}

TEST(ScannerSkips, LiteralsCountTheirLineFeeds) {
    // An escaped line feed, and one in a literal left open to the next quote.
    EXPECT_THAT(Scan("char *s = \"a\\\nb\";\nchar c = 'x\n\n';\nint f(void)\n{}"),
                ElementsAre(Begin(6, "int f(void)"), End(7)));
    // Left open to the end, it swallows everything.
    EXPECT_THAT(Scan("char *s = \"abc;\nint f(void) {}"), IsEmpty());
}

TEST(ScannerSkips, CommentsEndWhereTheyShould) {
    // "/*/" is not a whole comment: the brace is still inside.
    EXPECT_THAT(Scan("int f(void) /*/ { */ {\n}"), ElementsAre(Begin(0, "int f(void)  "), End(2)));
    EXPECT_THAT(Scan("/**/int f(void) {}"), ElementsAre(Begin(0, "int f(void) "), End(1)));
    // The "/" closing a comment pairs with nothing after it.
    EXPECT_THAT(Scan("/* a *//b int f(void) {}"), ElementsAre(Begin(0, "b int f(void) "), End(1)));
    EXPECT_THAT(Scan("/* a */*f(void) {}"), ElementsAre(Begin(0, "*f(void) "), End(1)));
    // Line feeds in a comment count.
    EXPECT_THAT(Scan("/*\n\n*/\nint f(void)\n{}"), ElementsAre(Begin(4, "int f(void)"), End(5)));
    // Open to the end of the text: nothing after it.
    EXPECT_THAT(Scan("/* int f(void) {}"), IsEmpty());
    EXPECT_THAT(Scan("int f(void) { /* }"), ElementsAre(Begin(0, "int f(void) ")));
}

TEST(ScannerSkips, BackslashContinuesLineCommentsAndDirectives) {
    EXPECT_THAT(Scan("// a \\\nint g(void) {}\nint f(void) {}"),
                ElementsAre(Begin(2, "int f(void) "), End(3)));
    EXPECT_THAT(Scan("#define X(a) \\\n  { a; } \\\n  {\nint f(void) {}"),
                ElementsAre(Begin(3, "int f(void) "), End(4)));
    // Not continued: the next line is code again.
    EXPECT_THAT(Scan("// a \\ b\nint f(void) {}"), ElementsAre(Begin(1, "int f(void) "), End(2)));
}

TEST(ScannerSkips, DirectiveEndsAfterAComment) {
    // Anywhere on a line, in a body too.
    EXPECT_THAT(Scan("int f(void) { #pragma x {\n}"),
                ElementsAre(Begin(0, "int f(void) "), End(2)));
    // The rest of the line after a comment in a directive is code.
    EXPECT_THAT(Scan("#include <a.h> /* x */ int f(void) {}"),
                ElementsAre(Begin(0, "int f(void) "), End(1)));
    // A line comment ends it with its line.
    EXPECT_THAT(Scan("#endif // {\nint f(void) {}"), ElementsAre(Begin(1, "int f(void) "), End(2)));
    EXPECT_THAT(Scan("#endif // \\\n{\nint f(void) {}"),
                ElementsAre(Begin(2, "int f(void) "), End(3)));
}

TEST(ScannerBraces, BothBracesOfAConditionalCount) {
    EXPECT_THAT(Scan("int f(void)\n#if X\n{\n#else\n{\n#endif\n}\nint g(void) {}\n"),
                ElementsAre(Begin(2, "int f(void)")));
}

TEST(ScannerBraces, LinkageBlockHidesAllButTheFirstFunction) {
    EXPECT_THAT(Scan("extern \"C\" {\nint f(void)\n{\n}\nint g(void)\n{\n}\n}\nint h(void) {}"),
                ElementsAre(Begin(2, "int f(void)"), End(8), Begin(8, "int h(void) "), End(9)));
}

TEST(ScannerBraces, StrayClosingBraceLeavesTheNextBodyOpen) {
    EXPECT_THAT(Scan("}\nint f(void)\n{\nx;\n}\nint g(void) {}\n"),
                ElementsAre(Begin(2, "int f(void)")));
}

// Random texts made of the pieces that matter, with carriage returns among
// them: the scanner must make exactly the calls of the plain one.
TEST(ScannerBraces, AgreesWithCharacterByCharacterScan) {
    const std::vector<std::string> pieces = {
        "int", " ", "\t", "\n", "\r",   "\r\n", "(",  ")",  "{", "}",    ";",  "/",   "*",
        "\"",  "'", "\\", "#",  "f(x)", "/*",   "*/", "//", "a", "\\\n", "  ", "*/*", "/**/"};
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        int n = std::uniform_int_distribution<int>(0, 80)(random);
        for (int i = 0; i < n; ++i)
            text +=
                pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        ASSERT_EQ(Scan(text), ReferenceScan(text.c_str()))
            << "text: " << ::testing::PrintToString(text);
    }
}

} // namespace
} // namespace kelpin::testing
