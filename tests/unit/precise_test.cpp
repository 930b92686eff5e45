// The precise scanner: what it takes for a function and what not, its lines,
// its declarations, and properties that hold for every program of the model.
#include <gmock/gmock.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "scanner/precise.h"
#include "support/c_program_model.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<ExpectedFunction> Functions(const std::string& text) {
    PreciseScan found;
    ScanPrecise(text, &found);
    std::vector<ExpectedFunction> out;
    for (const PreciseFunction& f : found.functions)
        out.push_back({std::string(PreciseName(text, f)), f.start, f.end});
    return out;
}

std::vector<std::string> Names(const std::string& text) {
    std::vector<std::string> names;
    for (const ExpectedFunction& f : Functions(text))
        names.push_back(f.name);
    return names;
}

struct Case {
    const char* what;
    std::string text;
    std::vector<ExpectedFunction> expected;
};

void ExpectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases)
        EXPECT_EQ(Functions(c.text), c.expected) << c.what << ":\n" << c.text;
}

TEST(PreciseScanner, DefinitionsOfEveryShape) {
    ExpectCases({
        {"brace on the header line", "int f(void) {\n}\n", {{"f", 1, 2}}},
        {"brace on its own line", "int f(void)\n{\n    return 0;\n}\n", {{"f", 1, 4}}},
        {"return type on its own line",
         "static int\ncount(const char *s)\n{\n}\n",
         {{"count", 2, 4}}},
        {"parameters over lines", "void f(int a,\n       int b) { }\n", {{"f", 1, 2}}},
        {"old style", "int f(a, b)\nint a;\nchar *b;\n{\n}\n", {{"f", 1, 5}}},
        {"old style, indented, typedef'd type", "f(a)\n    size_t a;\n{\n}\n", {{"f", 1, 4}}},
        {"old style, one line", "int f(a) register int a; { return a; }", {{"f", 1, 1}}},
        {"attribute after the list", "int f(int a) __acquires(x) {\n}\n", {{"f", 1, 2}}},
        {"attributes at line starts",
         "static void f(void)\n__releases(&p->lock)\n__acquires(&p->lock)\n{\n}\n",
         {{"f", 1, 5}}},
        {"__attribute__ before", "__attribute__((weak)) int w(void) { }\n", {{"w", 1, 1}}},
        {"macro header",
         "SYSCALL_DEFINE3(read, unsigned int, fd, char __user *, buf, size_t, n)\n{\n}\n",
         {{"SYSCALL_DEFINE3", 1, 3}}},
        {"returns a pointer to a function",
         "void (*signal(int sig, void (*fn)(int)))(int) {\n}\n",
         {{"signal", 1, 2}}},
        {"name in parentheses", "int (isdigit)(int c) { return c; }\n", {{"isdigit", 1, 1}}},
        {"returns a struct it defines", "struct s { int a; } g(void) { }\n", {{"g", 1, 1}}},
        {"inside extern \"C\"",
         "extern \"C\" {\nint f(void) {}\n}\nint g(void) {}\n",
         {{"f", 2, 2}, {"g", 4, 4}}},
        {"never closes", "int f(void)\n{\n    if (x) {\n", {{"f", 1, 0}}},
        {"non-ASCII and $ in names", "int \xe9t\xe9$(void) { }\n", {{"\xe9t\xe9$", 1, 1}}},
        {"a stray closing brace is passed over", "}\nint f(void) { }\n", {{"f", 2, 2}}},
    });
}

TEST(PreciseScanner, WhatIsNotAFunction) {
    ExpectCases({
        {"prototype", "int f(void);\nstatic int g(int a) __attribute__((pure));\n", {}},
        {"keywords", "if (x) { }\nwhile (y) { }\nswitch (z) { }\nfor (;;) { }\n", {}},
        {"initialiser", "int (*table[])(void) = { f, g };\n", {}},
        {"macro table with =", "TABLE(t) = {\n    { 1, 2 },\n};\n", {}},
        {"macro table with ; after its braces",
         "DECLARE_TABLE(t)\n{ 1, 2 };\nint f(void) { }\n",
         {{"f", 3, 3}}},
        {"a typed function followed by ;", "int f(void) { };\n", {{"f", 1, 1}}},
        {"struct, union, enum",
         "struct s { int (*fn)(void); };\nunion u { int a; };\nenum { A, B };\n",
         {}},
        {"function pointer variable", "void (*handler)(int) = 0;\n", {}},
        {"macro call before a definition",
         "DEFINE_X(a)\nstatic int baz(void) {\n}\n",
         {{"baz", 2, 3}}},
        {"macro call, then a GNU-style name", "DEFINE_Y(b)\nqux(void) {\n}\n", {{"qux", 2, 3}}},
        {"macro with literal arguments before",
         "static int __init __printf(3, 4)\nappend(char *b)\n{\n}\n",
         {{"append", 2, 4}}},
        {"attribute macro before type and name",
         "static TARGET_ATTRIBUTE(\"bmi2\") size_t body(int a)\n{\n}\n",
         {{"body", 1, 3}}},
        {"macro calls with no ; in a row",
         "FUNC(a)\nFUNC(b)\nFUNC(c)\nint last(void) { }\n",
         {{"last", 4, 4}}},
        {"prototype with old-style list", "int f(a, b);\nint x;\n{ }\n", {}},
        {"a call in a stray statement", "x = f(y);\n{ }\n", {}},
    });
}

TEST(PreciseScanner, DirectivesAreNotCode) {
    ExpectCases({
        {"braces in a directive",
         "#define OPEN {\n#define CLOSE }\nint f(void) { }\n",
         {{"f", 3, 3}}},
        {"continued directive",
         "#define BODY(x) \\\n    { x; \\\n    }\nint f(void)\n{\n}\n",
         {{"f", 4, 6}}},
        {"comment over lines inside a directive",
         "#define M(a) \\\n    { /* a comment\n   over lines } */ a }\nint f(void) { }\n",
         {{"f", 4, 4}}},
        {"comment that ends a directive's line",
         "#include <x.h> /* {\n */\nint f(void) { }\n",
         {{"f", 3, 3}}},
        {"quote in a directive", "#error don't {\nint f(void) { }\n", {{"f", 2, 2}}},
        {"string with a comment opener", "#define S \"/*\"\nint f(void) { }\n", {{"f", 2, 2}}},
        {"directive inside a body",
         "int f(void) {\n#define X }\n    return 0;\n}\n",
         {{"f", 1, 4}}},
        {"# after blanks", "  #  define X {\nint f(void) { }\n", {{"f", 2, 2}}},
    });
}

TEST(PreciseScanner, ConditionalGroups) {
    ExpectCases({
        {"#if 0 is skipped",
         "#if 0\nint dead(void) {\n#endif\nint live(void) { }\n",
         {{"live", 4, 4}}},
        {"#if (0) with a comment",
         "#if (0) /* off */\n}}}\n#endif\nint f(void) { }\n",
         {{"f", 4, 4}}},
        {"#if 0 ... #else",
         "#if 0\nint a(void) {\n#else\nint b(void) { }\n#endif\n",
         {{"b", 4, 4}}},
        {"#elif 0 skipped",
         "#if A\nint a(void) { }\n#elif 0\nint z(void) {\n#else\nint c(void) { }\n#endif\n",
         {{"a", 2, 2}, {"c", 6, 6}}},
        {"nested groups inside #if 0",
         "#if 0\n#if 1\n{\n#else\n{\n#endif\n#endif\nint f(void) { }\n",
         {{"f", 8, 8}}},
        {"an #endif in a comment of a dead group",
         "#if 0\n/*\n#endif\n*/\nint dead(void) {\n#endif\nint f(void) { }\n",
         {{"f", 7, 7}}},
        {"every branch is scanned",
         "#ifdef A\nint a(void) { }\n#else\nint b(void) { }\n#endif\n",
         {{"a", 2, 2}, {"b", 4, 4}}},
        {"a header written twice, one body",
         "#ifdef X\nint twice(int a) {\n#else\nint twice(int a, int b) {\n#endif\n    return "
         "0;\n}\n",
         {{"twice", 2, 7}}},
        {"header over three branches",
         "#if A\nint f(long a)\n#elif B\nint f(short a)\n#else\nint f(int a)\n#endif\n{\n}\n",
         {{"f", 2, 9}}},
        {"an opening brace in each branch of a body",
         "int f(void)\n{\n#if A\n    if (a) {\n#else\n    if (b) {\n#endif\n    }\n}\nint g(void) "
         "{ }\n",
         {{"f", 1, 9}, {"g", 10, 10}}},
        {"closing in each branch",
         "int f(void) {\n#ifdef A\n    return 1; }\n#else\n    return 0; }\n#endif\nint g(void) { "
         "}\n",
         {{"f", 1, 3}, {"g", 7, 7}}},
        {"a function opened in a later branch only is dropped",
         "#ifdef A\nint x;\n#else\nint f(void) {\n#endif\nint g(void) { }\n",
         {{"g", 6, 6}}},
        {"unbalanced parameter lists",
         "#ifdef A\nint f(int a,\n#else\nint f(int a, int b,\n#endif\n      int c) { }\n",
         {{"f", 2, 6}}},
        {"extern \"C\" in a conditional",
         "#ifdef __cplusplus\nextern \"C\" {\n#endif\nint f(void) { }\n#ifdef "
         "__cplusplus\n}\n#endif\nint g(void) { }\n",
         {{"f", 4, 4}, {"g", 8, 8}}},
        {"a later branch's function comes before the first branch's body",
         "#ifdef A\nint f(void)\n#else\nint g(void) { }\n#endif\n{\n}\n",
         {{"f", 2, 7}, {"g", 4, 4}}},
        {"a header finished in two branches, a body in each",
         "int f(int a\n#ifdef X\n) { }\n#else\n) { }\n#endif\nint g(void) { }\n",
         {{"f", 1, 3}, {"g", 7, 7}}},
        {"a chain still open at the end of the text",
         "#ifdef A\nint f(void) {\n#else\nint f(int a) {\n",
         {{"f", 2, 0}}},
        {"stray #else and #endif", "#else\n#endif\nint f(void) { }\n", {{"f", 3, 3}}},
    });
}

TEST(PreciseScanner, LiteralsAndComments) {
    ExpectCases({
        {"braces in comments and literals",
         "int f(void) {\n    /* } */ // }\n    char c = '}';\n    const char *s = \"}\\\"}\";\n}\n",
         {{"f", 1, 5}}},
        {"line comment continued",
         "// a comment \\\nint hidden(void) { }\nint f(void) { }\n",
         {{"f", 3, 3}}},
        {"literal ends at its line's end",
         "int f(void) {\n    x = 'a;\n}\nint g(void) { }\n",
         {{"f", 1, 3}, {"g", 4, 4}}},
        {"spliced literal", "int f(void) {\n    s = \"a\\\n}\";\n}\n", {{"f", 1, 4}}},
        {"/*/ is no whole comment", "/*/ int a(void) { } */\nint f(void) { }\n", {{"f", 2, 2}}},
        {"comment at the end of the text", "int f(void) { }\n/* unclosed", {{"f", 1, 1}}},
        {"zero bytes are ordinary",
         std::string("int f(void) {\0}\nint g(void) { }\n", 32),
         {{"f", 1, 1}, {"g", 2, 2}}},
    });
}

TEST(PreciseScanner, NestingBeyondTheFramesIsScannedStraight) {
    // Deeper than the frames: each branch in turn, no state kept; the
    // functions in the branches are all found, a dead group is still dead,
    // and the chains still end where they do.
    std::string text;
    int depth = PreciseMaxNesting + 8;
    for (int i = 0; i < depth; ++i)
        text += "#ifdef L" + std::to_string(i) + "\n";
    text += "#if 0\nint dead(void) {\n#endif\nint a(void) { }\n#else\nint b(void) { }\n";
    for (int i = 0; i < depth; ++i)
        text += "#endif\n";
    text += "int c(void) { }\n";
    EXPECT_THAT(Names(text), ElementsAre("a", "b", "c"));
}

TEST(PreciseScanner, DeclarationsAreTheHeaderOnOneLine) {
    struct Expectation {
        std::string text;
        std::string declaration;
    };
    const std::vector<Expectation> cases = {
        {"static int\ncount(const char *s)\n{\n}\n", "static int count(const char *s)"},
        {"int /* the */ f(int a,\n      int b) {}\n", "int f(int a, int b)"},
        {"int f(a, b)\nint a; char *b;\n{\n}\n", "int f(a, b)"},
        {"int f(void) __acquires(x)\n{\n}\n", "int f(void) __acquires(x)"},
        {"#ifdef A\nint f(long a)\n#else\nint f(int a)\n#endif\n{\n}\n", "int f(long a)"},
        {"int f(\n#if 0\nlong a\n#else\nint a\n#endif\n) { }\n", "int f( int a )"},
        {"#define A\nint f(\n#if B\nlong a,\n#elif 0\nshort a,\n#else\nint a,\n#endif\nint b) { "
         "}\n",
         "int f( long a, int b)"},
        {"#elif 0\n{\n#else\nint f(void) { }\n", "int f(void)"},
        {"{ }\nname\n#define N\n(int a) { }\n", "name (int a)"},
        {"int f(const char *s = \"a\\\nb\") { }\n", "int f(const char *s = \"ab\")"},
        {"DEFINE_X(a)\nstatic int g(void) {}\n", "static int g(void)"},
        {"char *s(const char *p /* \" */, char c)\n{\n}\n", "char *s(const char *p , char c)"},
    };
    for (const Expectation& e : cases) {
        PreciseScan found;
        ScanPrecise(e.text, &found);
        ASSERT_EQ(found.functions.size(), 1u) << e.text;
        EXPECT_EQ(PreciseDeclaration(e.text, found, found.functions[0]), e.declaration) << e.text;
    }
}

// ---- Properties over the model -------------------------------------------------

GeneratedProgram Generate(std::uint32_t seed, ProgramStyle style = {}) {
    std::mt19937 random(seed);
    Choices choices;
    choices.random = &random;
    return ProgramBuilder(choices, style, seed).Build(24);
}

// Each function's first line, name line and end, for the shapes whose first
// line is not the name's.
TEST(PreciseScanner, AFunctionsLinesRunFromItsFirstToItsClosingBrace) {
    struct Lines {
        std::int32_t first, start, end;
        bool operator==(const Lines&) const = default;
    };
    const std::pair<std::string, Lines> cases[] = {
        {"int f(void) { return 0; }\n", {1, 1, 1}},
        {"\nstatic int\nf (void)\n{\n}\n", {2, 3, 5}},
        {"/* c */ static\nconst char *\nf(a)\n  int a;\n{\n}\n", {1, 3, 6}},
        {"#if X\nstatic\n#endif\nint f(void)\n{}\n", {2, 4, 5}},
    };
    for (const auto& [text, expected] : cases) {
        PreciseScan scan;
        ScanPrecise(text, &scan);
        ASSERT_EQ(scan.functions.size(), 1u) << text;
        const PreciseFunction& f = scan.functions[0];
        EXPECT_EQ((Lines{f.first, f.start, f.end}), expected) << text;
    }
}

// A branch of a conditional drops a function its first branch closed and
// lists another in its place: the chain's end must not hand the first one's
// end to the second (a fuzzer's find: end 3 for a function on line 8).
TEST(PreciseScanner, AChainsEndRestoresOnlyTheFunctionItSaved) {
    const std::string text("teD\273\275\263\274(t\301n)diDEBDEBLE(t)\n"
                           "{#if\n"
                           "\250\250\250\250\25022*} "
                           "}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}}iun_X(a)\n"
                           "s4atic int "
                           "b\"'m';t\016}\000\000\000n\332\332\332\332\332\332\332&%"
                           "\332\332\332\332\332\332\332\332\332\332\332\332\332\332\332\377(t)\n"
                           "{#else\n"
                           "int t , #if\n"
                           "i22 };wi\n"
                           "T\377\377\332\332\332\332\377(t)\n"
                           "{#else\n"
                           "int "
                           "t\377\332\332\332\332\332\332\332\332\332AB}"
                           "u\332\332\332\332\332\332\332\332#\332\332\332\332",
                           238);
    PreciseScan scan;
    ScanPrecise(text, &scan);
    const auto lines = static_cast<std::int32_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    ASSERT_FALSE(scan.functions.empty());
    for (const PreciseFunction& f : scan.functions) {
        EXPECT_LE(f.first, f.start);
        EXPECT_TRUE(f.end == 0 || (f.start <= f.end && f.end <= lines)) << f.start << "-" << f.end;
    }
}

TEST(PreciseScanner, FindsExactlyTheModelsFunctions) {
    int functions = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        GeneratedProgram program = Generate(seed);
        ASSERT_EQ(Functions(program.text), program.functions) << "seed " << seed << ":\n"
                                                              << program.text;
        functions += static_cast<int>(program.functions.size());
    }
    EXPECT_GT(functions, 1000); // the model does write functions
}

TEST(PreciseScanner, BlanksCommentsAndLineEndsChangeNothing) {
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        std::vector<ExpectedFunction> plain = Functions(Generate(seed).text);
        EXPECT_EQ(Functions(Generate(seed, {true, false}).text), plain) << "seed " << seed;
        EXPECT_EQ(Functions(Generate(seed, {false, true}).text), plain) << "seed " << seed;
        EXPECT_EQ(Functions(Generate(seed, {true, true}).text), plain) << "seed " << seed;
    }
}

TEST(PreciseScanner, GarbageUnderIfZeroChangesNothing) {
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        GeneratedProgram plain = Generate(seed);
        GeneratedProgram wrapped = Generate(seed, {false, false, true});
        ASSERT_NE(wrapped.text, plain.text);
        EXPECT_EQ(Functions(wrapped.text), wrapped.functions) << "seed " << seed;
        std::vector<std::string> names;
        for (const ExpectedFunction& f : plain.functions)
            names.push_back(f.name);
        EXPECT_EQ(Names(wrapped.text), names) << "seed " << seed;
    }
}

TEST(PreciseScanner, ReentrantOnManyThreads) {
    // The same texts on four threads at once give what one thread gives.
    std::vector<std::string> texts;
    std::vector<std::vector<ExpectedFunction>> alone;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        texts.push_back(Generate(seed, {true, seed % 2 == 0, seed % 3 == 0}).text);
        alone.push_back(Functions(texts.back()));
    }
    std::vector<std::vector<std::vector<ExpectedFunction>>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&texts, &result] {
            for (int round = 0; round < 5; ++round)
                for (const std::string& text : texts)
                    result.push_back(Functions(text));
        });
    for (std::thread& t : threads)
        t.join();
    for (const auto& result : results) {
        ASSERT_EQ(result.size(), texts.size() * 5);
        for (std::size_t i = 0; i < result.size(); ++i)
            EXPECT_EQ(result[i], alone[i % texts.size()]);
    }
}

} // namespace
} // namespace kelpin::testing
