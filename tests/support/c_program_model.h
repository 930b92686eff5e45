// C programs made up from pieces whose functions are known as they are
// written: the model the precise scanner is checked against. Each piece
// appends its text and, for a definition, the function's name, the line of
// its name and the line of its closing brace. The choices come from a seeded
// generator in the unit tests and from the fuzzer's bytes in the fuzz target,
// so both explore the same space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace kelpin::testing {

struct ExpectedFunction {
    std::string name;
    std::int32_t start; // line of the name
    std::int32_t end;   // line of the closing brace
    bool operator==(const ExpectedFunction&) const = default;
};

inline void PrintTo(const ExpectedFunction& f, std::ostream* out) {
    *out << f.name << "@" << f.start << "-" << f.end;
}

// A symbol of any kind: its name, its kind's letter (as tags files give
// them) and the line of its name.
struct ExpectedSymbol {
    std::string name;
    char kind;
    std::int32_t line;
    bool operator==(const ExpectedSymbol&) const = default;
};

inline void PrintTo(const ExpectedSymbol& s, std::ostream* out) {
    *out << s.kind << ":" << s.name << "@" << s.line;
}

// Where choices come from: bytes while they last (then always 0), or a
// seeded generator.
struct Choices {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t used = 0;
    std::mt19937* random = nullptr;

    // A number below n.
    unsigned Pick(unsigned n) {
        if (n <= 1) return 0;
        if (random != nullptr) return std::uniform_int_distribution<unsigned>(0, n - 1)(*random);
        return used < size ? data[used++] % n : 0;
    }
    bool Chance(unsigned inN) { return Pick(inN) == 0; }
};

// How blanks are written: the same program, other text.
struct ProgramStyle {
    bool noisyBlanks = false; // a blank may be a comment, tabs or several spaces
    bool crlf = false;        // every line feed a CRLF pair
    bool deadGarbage = false; // random bytes under #if 0 between pieces and statements
};

struct GeneratedProgram {
    std::string text;
    std::vector<ExpectedFunction> functions;
    std::vector<ExpectedSymbol> symbols; // of every kind, in text order
};

class ProgramBuilder {
  public:
    ProgramBuilder(Choices& choices, ProgramStyle style, std::uint32_t noiseSeed)
        : c_(choices), style_(style), noise_(noiseSeed) {}

    GeneratedProgram Build(int pieces) {
        bool linkage = c_.Chance(4);
        if (linkage) Put("#ifdef __cplusplus\nextern \"C\" {\n#endif\n");
        Put("#include <stddef.h>\n");
        for (int i = 0; i < pieces; ++i) {
            Garbage();
            Piece();
        }
        if (linkage) Put("#ifdef __cplusplus\n}\n#endif\n");
        GeneratedProgram program{text_, functions_, symbols_};
        if (style_.crlf) {
            std::string crlf;
            for (char ch : program.text) {
                if (ch == '\n') crlf += '\r';
                crlf += ch;
            }
            program.text = crlf;
        }
        return program;
    }

  private:
    std::int32_t Line() const { return line_; }
    void Put(const std::string& s) {
        for (char ch : s)
            line_ += ch == '\n';
        text_ += s;
    }
    // A blank between two tokens on one line.
    void Blank() {
        if (!style_.noisyBlanks) {
            Put(" ");
            return;
        }
        switch (noise_() % 4) {
        case 0: Put(" "); break;
        case 1: Put(" /* { ( ; */ "); break;
        case 2: Put("\t \t"); break;
        default: Put("  /**/  "); break;
        }
    }
    std::string NewName(const char* stem) { return stem + std::to_string(names_++); }
    // Writes a symbol's name where the text stands.
    void PutSymbol(const std::string& name, char kind) {
        symbols_.push_back({name, kind, Line()});
        Put(name);
    }

    // Any bytes but those that could end the group early: a comment that
    // swallows its #endif, a splice that joins a line to it, a directive.
    void Garbage() {
        if (!style_.deadGarbage || noise_() % 2 == 0) return;
        std::string bytes = "#if 0\n";
        for (unsigned i = 0, n = noise_() % 200; i < n; ++i) {
            char ch = static_cast<char>(noise_() % 256);
            bytes += ch == '/' || ch == '#' || ch == '\\' ? '\n' : ch;
        }
        Put(bytes + "\n#endif\n");
    }

    void Piece() {
        switch (c_.Pick(14)) {
        case 0:
        case 1:
        case 2:
        case 3: Definition(); break;
        case 4: Prototype(); break;
        case 5: Struct(); break;
        case 6: Initializer(); break;
        case 7:
            // A macro call with no ";" before a definition is not its name.
            Put(c_.Chance(2) ? NewName("DEFINE_LOCK(lock") + ")\n" : "__printf(1, 2)\n");
            Definition();
            break;
        case 8: DeadGroup(); break;
        case 9: HeaderPerBranch(); break;
        case 10: DefinitionPerBranch(); break;
        case 11: Comment(); break;
        case 12: Directive(); break;
        default: Put("\n"); break;
        }
    }

    void Definition() {
        static const char* const prefixes[] = {"", "static ", "static inline ",
                                               "__attribute__((unused)) static ", "extern "};
        static const char* const types[] = {"int", "void", "struct node *", "unsigned long",
                                            "const char *"};
        std::string name = NewName("fn");
        Put(prefixes[c_.Pick(5)]);
        Put(types[c_.Pick(5)]);
        bool gnu = c_.Chance(3);
        if (gnu) {
            Put("\n");
        } else {
            Blank();
        }
        std::int32_t start = Line();
        PutSymbol(name, 'f');
        bool oldStyle = false;
        switch (c_.Pick(4)) {
        case 0: Put("(void)"); break;
        case 1:
            Put("(int a,");
            Blank();
            Put("const char *b)");
            break;
        case 2: Put("(struct node *n,\n        int depth)"); break;
        default:
            oldStyle = true;
            Put("(a, b)\n");
            Put(c_.Chance(2) ? "int a;\nchar *b;\n" : "    long a;\n    char *b;\n");
            break;
        }
        if (!oldStyle) {
            switch (c_.Pick(4)) {
            case 0: Put(" __acquires(lock)"); break;
            case 1: Put("\n__releases(&pool->lock)"); break;
            default: break;
            }
        }
        if (!oldStyle && c_.Chance(2)) {
            Blank();
            Put("{\n");
        } else {
            if (!oldStyle) Put("\n");
            Put("{\n");
        }
        Body(c_.Pick(5));
        functions_.push_back({name, start, Line()});
        Put("}\n");
    }

    void Body(unsigned statements) {
        for (unsigned i = 0; i < statements; ++i) {
            Garbage();
            switch (c_.Pick(11)) {
            case 0: Put("    int x = 0;\n"); break;
            case 1: Put("    if (x) {\n        x++;\n    }\n"); break;
            case 2: Put("    const char *s = \"{ } /* \\\" {\";\n"); break;
            case 3: Put("    char c = '}', d = '\\'', e = '{';\n"); break;
            case 4: Put("    /* } { */\n    // } \\\n    continued {\n"); break;
            case 5:
                Put("#define ");
                PutSymbol("LOCAL_BRACE", 'd');
                Put(" {\n");
                break;
            case 6:
                // An opening brace in each branch: one block.
                Put("#ifdef OPTION\n    if (a) {\n#else\n    if (b) {\n#endif\n        x--;\n    "
                    "}\n");
                break;
            case 7: Put("#if 0\n    }}} don't\n#endif\n"); break;
            case 8: Put("    while (x) { x--; }\n"); break;
            case 9: Put("    return sizeof (struct node);\n"); break;
            default:
                Put("#define ");
                PutSymbol("MULTI", 'd');
                Put("(a) \\\n    { /* a comment\n      over lines } */ a }\n");
                break;
            }
        }
    }

    void Prototype() {
        std::string name = NewName("proto");
        switch (c_.Pick(3)) {
        case 0:
            Put("int ");
            PutSymbol(name, 'p');
            Put("(int a);\n");
            break;
        case 1:
            Put("static void ");
            PutSymbol(name, 'p');
            Put("(void) __attribute__((noreturn));\n");
            break;
        default:
            Put("extern int (*");
            PutSymbol(name, 'x');
            Put(")(void);\n");
            break;
        }
    }

    void Struct() {
        std::string name = NewName("s");
        bool isUnion = c_.Chance(3);
        Put(isUnion ? "union " : "struct ");
        PutSymbol(name, isUnion ? 'u' : 's');
        Put(" {\n    int ");
        PutSymbol("a", 'm');
        Put(";\n    void (*");
        PutSymbol("fn", 'm');
        Put(")(int);\n");
        if (c_.Chance(2)) {
            // A nested enum: an enum and its enumerators.
            std::string tag = NewName("e");
            Put("    enum ");
            PutSymbol(tag, 'g');
            Put(" { ");
            PutSymbol(tag + "_A", 'e');
            Put(" = 1 << 2, ");
            PutSymbol(tag + "_B", 'e');
            Put(" } ");
            PutSymbol("mode", 'm');
            Put(";\n");
        }
        Put("}");
        if (c_.Chance(2)) {
            Put(";\n");
        } else {
            Put(" ");
            PutSymbol(name + "_v", 'v');
            Put(";\n");
        }
        if (c_.Chance(2)) {
            Put("typedef struct ");
            Put(name + " ");
            PutSymbol(name + "_t", 't');
            Put(", *");
            PutSymbol(name + "_p", 't');
            Put(";\n");
        }
    }

    void Initializer() {
        std::string name = NewName("t");
        switch (c_.Pick(5)) {
        case 0:
            Put("static const int ");
            PutSymbol(name, 'v');
            Put("[] = { 1, 2, { 3 } };\n");
            break;
        case 1: Put("TABLE(" + name + ") = {\n    { 1, 2 },\n};\n"); break;
        case 2: Put("TABLE(" + name + ")\n{\n    1, 2,\n};\n"); break;
        case 3:
            // An attribute-like macro after the name is no name.
            Put("struct ops ");
            PutSymbol(name, 'v');
            Put(" __initdata = {\n    .open = 0,\n}, ");
            PutSymbol(name + "_b", 'v');
            Put(";\n");
            break;
        default:
            Put("int (*");
            PutSymbol(name, 'v');
            Put("[])(void) = { 0 };\n");
            break;
        }
    }

    // Text that is not C at all, in a group the preprocessor drops.
    void DeadGroup() {
        static const char* const garbage[] = {
            "}}} int dead(void) {",       "int broken(void) {", "don't {", "/* } */ {", "\"{\" {",
            "#if X\n{\n#else\n{\n#endif", "#define D {"};
        Put(c_.Chance(2) ? "#if 0\n" : "#if (0) /* never */\n");
        for (unsigned i = 0, n = 1 + c_.Pick(3); i < n; ++i)
            Put(std::string(garbage[c_.Pick(7)]) + "\n");
        if (c_.Chance(2)) {
            Put("#else\n");
            Definition();
        }
        Put("#endif\n");
    }

    // One function whose header is written once per branch.
    void HeaderPerBranch() {
        std::string name = NewName("twice");
        Put("#ifdef WIDE\n");
        std::int32_t start = Line();
        symbols_.push_back({name, 'f', start + 0});
        Put("int " + name + "(long a)\n#elif defined(NARROW)\nint " + name +
            "(short a)\n#else\nint " + name + "(int a)\n#endif\n{\n    return a;\n");
        functions_.push_back({name, start, Line()});
        Put("}\n");
    }

    // A whole function in each branch: both count.
    void DefinitionPerBranch() {
        Put("#ifndef SMALL\n");
        Definition();
        Put("#else\n");
        Definition();
        Put("#endif\n");
    }

    void Comment() {
        switch (c_.Pick(3)) {
        case 0: Put("/* int fake(void) { */\n"); break;
        case 1: Put("// } \\\n   still a comment {\n"); break;
        default: Put("/*\n * {\n */\n"); break;
        }
    }

    void Directive() {
        switch (c_.Pick(3)) {
        case 0:
            Put("#define ");
            PutSymbol("BLOCK", 'd');
            Put("(a) \\\n    do { a } while (0)\n");
            break;
        case 1: Put("#include <stdio.h> /* {\n   } */\n"); break;
        default: Put("#pragma once \"{\"\n"); break;
        }
    }

    Choices& c_;
    ProgramStyle style_;
    std::minstd_rand noise_;
    std::string text_;
    std::vector<ExpectedFunction> functions_;
    std::vector<ExpectedSymbol> symbols_;
    std::int32_t line_ = 1;
    int names_ = 0;
};

} // namespace kelpin::testing
