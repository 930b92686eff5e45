// The precise scanner on arbitrary bytes: no crash, no sanitizer report, the
// invariants its users rely on, the same answer whatever the line ends or a
// dead group before the text, and, with the bytes taken as the choices of
// the program model, exactly the model's functions.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/precise.h"
#include "scanner/symbols.h"
#include "support/c_program_model.h"

namespace {

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "precise_fuzz: check failed at line %d: %s\n", __LINE__,          \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

using kelpin::PreciseFunction;
using kelpin::testing::ExpectedFunction;

bool IsWordByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c >= 0x80;
}

bool IsKeyword(std::string_view name) {
    static const char* const keywords[] = {
        "if",       "else",     "while",         "for",    "do",
        "switch",   "case",     "default",       "return", "goto",
        "break",    "continue", "sizeof",        "typeof", "int",
        "char",     "void",     "long",          "short",  "signed",
        "unsigned", "float",    "double",        "struct", "union",
        "enum",     "typedef",  "static",        "extern", "const",
        "volatile", "inline",   "__attribute__", "asm",    "_Static_assert",
        "_Generic", "defined"};
    for (const char* k : keywords)
        if (name == k) return true;
    return false;
}

std::vector<ExpectedFunction> Lines(std::string_view text, const kelpin::PreciseScan& scan) {
    std::vector<ExpectedFunction> out;
    for (const PreciseFunction& f : scan.functions)
        out.push_back({std::string(kelpin::PreciseName(text, f)), f.start, f.end});
    return out;
}

std::vector<ExpectedFunction> Scan(std::string_view text) {
    kelpin::PreciseScan scan;
    kelpin::ScanPrecise(text, &scan);
    return Lines(text, scan);
}

void CheckInvariants(std::string_view text) {
    kelpin::PreciseScan scan;
    kelpin::ScanPrecise(text, &scan);
    const std::vector<PreciseFunction>& fs = scan.functions;
    const std::int32_t lines =
        static_cast<std::int32_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::size_t lastName = 0;
    for (std::size_t i = 0; i < fs.size(); ++i) {
        const PreciseFunction& f = fs[i];
        // Text order, each name a word of the text, its line counted right.
        CHECK(f.nameOffset + f.nameLength <= text.size());
        CHECK(i == 0 || f.nameOffset > lastName);
        lastName = f.nameOffset;
        std::string_view name = kelpin::PreciseName(text, f);
        CHECK(!name.empty());
        CHECK(!(name[0] >= '0' && name[0] <= '9'));
        CHECK(std::all_of(name.begin(), name.end(),
                          [](char c) { return IsWordByte(static_cast<unsigned char>(c)); }));
        CHECK(f.nameOffset == 0 || !IsWordByte(static_cast<unsigned char>(text[f.nameOffset - 1])));
        CHECK(f.nameOffset + f.nameLength == text.size() ||
              !IsWordByte(static_cast<unsigned char>(text[f.nameOffset + f.nameLength])));
        CHECK(!IsKeyword(name));
        CHECK(f.start == 1 + std::count(text.begin(), text.begin() + f.nameOffset, '\n'));
        CHECK(f.start >= 1 && f.start <= lines);
        CHECK(f.end == 0 || (f.end >= f.start && f.end <= lines));
        CHECK(f.first >= 1 && f.first <= f.start);
        // The header's parts lie in the text in order, before the name's end;
        // one holds the name.
        CHECK(f.headerParts >= 1);
        CHECK(f.headerFirst + f.headerParts <= scan.header.size());
        bool holdsName = false;
        for (std::uint32_t k = 0; k < f.headerParts; ++k) {
            const kelpin::PreciseSpan& part = scan.header[f.headerFirst + k];
            CHECK(part.length > 0 && part.offset + part.length <= text.size());
            CHECK(k == 0 || part.offset >= scan.header[f.headerFirst + k - 1].offset +
                                               scan.header[f.headerFirst + k - 1].length);
            holdsName |= part.offset <= f.nameOffset &&
                         f.nameOffset + f.nameLength <= part.offset + part.length;
        }
        CHECK(holdsName);
        std::string declaration = kelpin::PreciseDeclaration(text, scan, f);
        CHECK(declaration.find(name) != std::string::npos);
        CHECK(declaration.find('\n') == std::string::npos);
        CHECK(declaration.empty() || (declaration.front() != ' ' && declaration.back() != ' '));
    }
}

// The symbols of every kind: in text order, each name a word of the text
// on the line given, an end no earlier than its line and within the text,
// scopes that lead outwards, and functions exactly the precise scan's.
std::vector<kelpin::testing::ExpectedSymbol> CheckSymbols(std::string_view text) {
    kelpin::PreciseSymbols found;
    kelpin::ScanSymbols(text, &found);
    const std::int32_t lines =
        static_cast<std::int32_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::vector<kelpin::testing::ExpectedSymbol> out;
    std::vector<ExpectedFunction> functions;
    std::size_t last = 0;
    for (std::size_t i = 0; i < found.symbols.size(); ++i) {
        const kelpin::PreciseSymbol& s = found.symbols[i];
        CHECK(s.nameLength > 0 && s.nameOffset + s.nameLength <= text.size());
        CHECK(i == 0 || s.nameOffset >= last);
        last = s.nameOffset;
        CHECK(kelpin::SymbolKinds.find(s.kind) != std::string_view::npos);
        std::string_view name = kelpin::SymbolName(text, s);
        CHECK(std::all_of(name.begin(), name.end(),
                          [](char c) { return IsWordByte(static_cast<unsigned char>(c)); }));
        CHECK(s.line == 1 + std::count(text.begin(), text.begin() + s.nameOffset, '\n'));
        CHECK(s.end == 0 || (s.end >= s.line && s.end <= lines));
        CHECK(s.scope >= -1 && s.scope < static_cast<std::int32_t>(found.scopes.size()));
        for (std::int32_t k = s.scope; k >= 0; k = found.scopes[static_cast<std::size_t>(k)].parent)
            CHECK(found.scopes[static_cast<std::size_t>(k)].parent < k);
        if (s.kind == kelpin::SymbolFunction)
            functions.push_back({std::string(name), s.line, s.end});
        out.push_back({std::string(name), s.kind, s.line});
    }
    CHECK(functions == Scan(text));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckInvariants(text);
    std::vector<ExpectedFunction> found = Scan(text);
    std::vector<kelpin::testing::ExpectedSymbol> symbols = CheckSymbols(text);

    // CRLF for LF changes no name and no line.
    if (text.find('\r') == std::string_view::npos) {
        std::string crlf;
        for (char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        CHECK(Scan(crlf) == found);
        CHECK(CheckSymbols(crlf) == symbols);
    }

    // A dead group of the same bytes before the text moves every line by its
    // own, and changes nothing else. Bytes that could end the group early
    // become line feeds.
    std::string dead = "#if 0\n";
    for (char c : text)
        dead += c == '/' || c == '#' || c == '\\' ? '\n' : c;
    dead += "\n#endif\n";
    const std::int32_t shift =
        static_cast<std::int32_t>(std::count(dead.begin(), dead.end(), '\n'));
    std::vector<ExpectedFunction> moved = found;
    for (ExpectedFunction& f : moved) {
        f.start += shift;
        if (f.end != 0) f.end += shift;
    }
    CHECK(Scan(dead + std::string(text)) == moved);

    // The bytes as the model's choices: exactly the model's functions.
    kelpin::testing::Choices choices;
    choices.data = data;
    choices.size = size;
    kelpin::testing::ProgramStyle style;
    unsigned flags = choices.Pick(8);
    style.noisyBlanks = flags & 1;
    style.crlf = flags & 2;
    style.deadGarbage = flags & 4;
    kelpin::testing::GeneratedProgram program =
        kelpin::testing::ProgramBuilder(choices, style, static_cast<std::uint32_t>(size))
            .Build(1 + static_cast<int>(size % 16));
    CHECK(Scan(program.text) == program.functions);
    CheckInvariants(program.text);
    CHECK(CheckSymbols(program.text) == program.symbols);
    return 0;
}
