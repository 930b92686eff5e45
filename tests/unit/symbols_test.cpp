// The symbol scan: what each kind of declaration gives, and properties that
// hold for every program of the model.
#include <gmock/gmock.h>

#include <random>
#include <string>
#include <vector>

#include "scanner/precise.h"
#include "scanner/symbols.h"
#include "support/c_program_model.h"

namespace kelpin::testing {
namespace {

// Every symbol as "k name@line", then " scope" and " static" where they
// apply, and "-end" for one with an end.
std::vector<std::string> Described(const std::string& text) {
    PreciseSymbols found;
    ScanSymbols(text, &found);
    std::vector<std::string> out;
    for (const PreciseSymbol& s : found.symbols) {
        std::string d = std::string(1, s.kind) + " " + std::string(SymbolName(text, s)) + "@" +
                        std::to_string(s.line);
        if (s.end > 0) d += "-" + std::to_string(s.end);
        std::string scope = SymbolScope(text, found, s.scope);
        if (!scope.empty()) d += " " + scope;
        if (s.isStatic) d += " static";
        out.push_back(d);
    }
    return out;
}

std::vector<ExpectedSymbol> Symbols(const std::string& text) {
    PreciseSymbols found;
    ScanSymbols(text, &found);
    std::vector<ExpectedSymbol> out;
    for (const PreciseSymbol& s : found.symbols)
        out.push_back({std::string(SymbolName(text, s)), s.kind, s.line});
    return out;
}

struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> expected;
};

TEST(Symbols, EveryKindOfDeclaration) {
    const std::vector<Case> cases = {
        {"macros, one continued over lines",
         "#define ONE 1\n#  define TWO(a) \\\n  ((a) + 1)\n#undef ONE\n",
         {"d ONE@1-1", "d TWO@2-3"}},
        {"a struct, its members, a nested struct and an anonymous union",
         "struct point {\n  int x, y;\n  struct inner { int z; } in;\n"
         "  union { int a; long b; };\n  unsigned flag : 1;\n  int (*op)(int);\n};\n",
         {"s point@1-7", "m x@2 struct:point", "m y@2 struct:point", "s inner@3-3 struct:point",
          "m z@3 struct:point::inner", "m in@3 struct:point", "m a@4 union:point::__anon1",
          "m b@4 union:point::__anon1", "m flag@5 struct:point", "m op@6 struct:point"}},
        {"typedefs of a struct, a pointer, a function pointer and a function type",
         "typedef struct named { int r; } named_t, *named_p;\n"
         "typedef int (*handler_t)(int);\ntypedef void fn_t(int);\ntypedef unsigned long ul;\n",
         {"s named@1-1", "m r@1 struct:named", "t named_t@1", "t named_p@1", "t handler_t@2",
          "t fn_t@3", "t ul@4"}},
        {"enums and enumerators, values and trailing comma",
         "enum color { RED, GREEN = 2, BLUE = F(1, 2), };\nenum { ANON };\n",
         {"g color@1-1", "e RED@1 enum:color", "e GREEN@1 enum:color", "e BLUE@1 enum:color",
          "e ANON@2 enum:__anon1"}},
        {"unions",
         "union u { int i; float f; } uv;\n",
         {"u u@1-1", "m i@1 union:u", "m f@1 union:u", "v uv@1"}},
        {"file-scope variables of many shapes",
         "static int counter = 0;\nint a1, a2 = 3, *a3[4];\nconst char *names[] = { \"a\" };\n"
         "int (*fp)(int);\nstruct point origin = { 0 }, unit;\nint __percpu *pcp;\n",
         {"v counter@1 static", "v a1@2", "v a2@2", "v a3@2", "v names@3", "v fp@4", "v origin@5",
          "v unit@5", "v pcp@6"}},
        {"attribute-like macros around the name",
         "struct ops fops __initdata = { .open = 0 };\nunsigned long flags __read_mostly;\n"
         "u32 __initdata __visible needed = 1;\nvoid __weak (*hook)(void);\n"
         "API DEPRECATED int old_call(void);\nint a __aligned(8);\n",
         {"v fops@1", "v flags@2", "v needed@3", "v hook@4", "p old_call@5", "v a@6"}},
        {"prototypes and extern declarations",
         "int proto(int a);\nextern int ext_var;\nextern int eproto(void);\n"
         "static void quiet(void) __attribute__((noreturn));\nextern int (*xfp)(void);\n",
         {"p proto@1", "x ext_var@2", "p eproto@3", "p quiet@4 static", "x xfp@5"}},
        {"functions are the precise scan's, static marked, with their ends",
         "static int helper(void)\n{\n  return 0;\n}\nint main(int argc, char **argv) { return 0; "
         "}\n"
         "static int knr(a, b) int a; char *b; { return a; }\n",
         {"f helper@1-4 static", "f main@5-5", "f knr@6-6 static"}},
        {"macro calls are no declarations",
         "static DEFINE_MUTEX(lock);\nEXPORT_SYMBOL(helper);\nmodule_init(setup)\n"
         "DECLARE_BITMAP(bits, 10);\nstatic int after;\nstruct r { u8 X(a:6, b:2); };\n",
         {"v after@5 static", "s r@6-6"}},
        {"structs, enums and macros in a function's body; nothing else there",
         "void f(void)\n{\n  int local;\n  struct inner { int lm; } lv;\n#define INBODY 3\n"
         "  enum { LE } le;\n}\n",
         {"f f@1-7", "s inner@4-4", "m lm@4 struct:inner", "d INBODY@5-5", "e LE@6 enum:__anon1"}},
        {"every branch of a chain, none under #if 0",
         "#ifdef X\n#define MAC 1\nint cx;\n#else\n#define MAC 2\nint cy;\n#endif\n"
         "#if 0\n#define DEAD\nint dead;\n#endif\n",
         {"d MAC@2-2", "v cx@3", "d MAC@5-5", "v cy@6"}},
        {"a struct opened once per branch holds its members once",
         "#ifdef A\nstruct one {\n#else\nstruct two {\n#endif\n  int m;\n};\nint after;\n",
         {"s one@2-7", "s two@4", "m m@6 struct:one", "v after@8"}},
        {"extern \"C\" braces are file level",
         "extern \"C\" {\nint inside;\nstruct s { int a; };\n}\nint outside;\n",
         {"v inside@2", "s s@3-3", "m a@3 struct:s", "v outside@5"}},
        {"comments, literals and directives hold no symbol",
         "/* int fake; */\n// struct gone { int x; };\nconst char *s = \"int nope;\";\n"
         "#include <int.h>\n",
         {"v s@3"}},
        {"declarator groups",
         "void (*(*get)(int))(void);\nint (*table[N])(void);\n",
         {"v get@1", "v table@2"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Described(c.text), c.expected) << c.what << ":\n" << c.text;
}

TEST(Symbols, FunctionsAreExactlyThePreciseScans) {
    std::mt19937 random(7);
    for (std::uint32_t seed = 1; seed <= 100; ++seed) {
        Choices choices;
        choices.random = &random;
        GeneratedProgram program = ProgramBuilder(choices, {}, seed).Build(24);
        PreciseScan scan;
        ScanPrecise(program.text, &scan);
        PreciseSymbols found;
        ScanSymbols(program.text, &found);
        std::vector<ExpectedFunction> functions;
        for (const PreciseSymbol& s : found.symbols)
            if (s.kind == SymbolFunction)
                functions.push_back({std::string(SymbolName(program.text, s)), s.line, s.end});
        std::vector<ExpectedFunction> precise;
        for (const PreciseFunction& f : scan.functions)
            precise.push_back({std::string(PreciseName(program.text, f)), f.start, f.end});
        ASSERT_EQ(functions, precise) << "seed " << seed;
    }
}

GeneratedProgram Generate(std::uint32_t seed, ProgramStyle style = {}) {
    std::mt19937 random(seed);
    Choices choices;
    choices.random = &random;
    return ProgramBuilder(choices, style, seed).Build(24);
}

TEST(Symbols, FindsExactlyTheModelsSymbols) {
    std::size_t kinds = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        for (ProgramStyle style :
             {ProgramStyle{}, ProgramStyle{true, true, false}, ProgramStyle{false, false, true}}) {
            GeneratedProgram program = Generate(seed, style);
            ASSERT_EQ(Symbols(program.text), program.symbols) << "seed " << seed << ":\n"
                                                              << program.text;
        }
        std::string letters;
        for (const ExpectedSymbol& s : Generate(seed).symbols)
            if (letters.find(s.kind) == std::string::npos) letters += s.kind;
        kinds = std::max(kinds, letters.size());
    }
    EXPECT_GE(kinds, 10u); // the model writes symbols of (nearly) every kind
}

} // namespace
} // namespace kelpin::testing
