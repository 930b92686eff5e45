// Symbols of every kind in C source, for tags files and symbol listings:
// macro definitions, enumerators, functions, enums, members, structs,
// typedefs, unions, file-scope variables, prototypes and extern
// declarations, each with its line, the struct, union or enum it belongs to,
// whether it is static, and the line its body ends on.
//
// Functions are exactly those of the precise scan (precise.h): one reading of
// the text yields them and the other kinds, with the same rules for
// directives, conditionals, comments and literals:
//
// - "#define NAME" is a macro wherever it stands (in a body too), except in
//   a group under "#if 0".
// - Every branch of a conditional chain is read, each from the state the
//   chain began in, and after #endif the state after the first branch holds:
//   what two branches both declare is there twice, and braces opened once
//   per branch stay balanced.
// - Declarations at file level, and those in the braces of a struct or union
//   (its members) and of an enum (its enumerators), are read for their
//   declarators; function bodies and initialisers are passed over.
// - A declarator's name is the first word after its type. A word after the
//   name is an attribute-like macro ("fops __initdata", "priv
//   ____cacheline_aligned"), except that a first word beginning with "__"
//   ("int __init setup(void)") gives way to a plain word after it. A word
//   followed by "(" where a type should stand ("DEFINE_MUTEX(lock);") is a
//   macro call, not a declaration.
//
// Pure (standard library only) and reentrant, like the precise scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/precise.h"

namespace kelpin {

// The kinds, by the letters tags files give them.
enum : char {
    SymbolMacro = 'd',
    SymbolEnumerator = 'e',
    SymbolFunction = 'f',
    SymbolEnum = 'g',
    SymbolMember = 'm',
    SymbolPrototype = 'p',
    SymbolStruct = 's',
    SymbolTypedef = 't',
    SymbolUnion = 'u',
    SymbolVariable = 'v',
    SymbolExtern = 'x',
};

// Every kind letter, in the order listings describe them.
inline constexpr std::string_view SymbolKinds = "defgmpstuvx";

// The word for a kind letter ("macro", "enumerator", ...); "" for no kind.
std::string_view SymbolKindName(char kind);

// A struct, union or enum that holds members or enumerators.
struct PreciseScope {
    std::size_t nameOffset;
    std::size_t nameLength; // 0: anonymous
    std::int32_t anonymous; // anonymous ones: 1, 2, ... in text order
    std::int32_t parent;    // the scope it is declared in, or -1
    char kind;              // SymbolStruct, SymbolUnion or SymbolEnum
};

struct PreciseSymbol {
    std::size_t nameOffset;
    std::size_t nameLength;
    std::int32_t line;  // 1-based line of the name
    std::int32_t end;   // last line of its body or definition; 0: none, or it never closes
    std::int32_t scope; // index into PreciseSymbols::scopes, or -1 for none
    char kind;
    bool isStatic;
};

struct PreciseSymbols {
    std::vector<PreciseSymbol> symbols; // in text order of their names
    std::vector<PreciseScope> scopes;
    PreciseScan scan; // the precise scan the functions come from
};

// Scans text for symbols of every kind (prototypes and extern declarations
// included: a caller that does not want them leaves them out).
void ScanSymbols(std::string_view text, PreciseSymbols* out);

inline std::string_view SymbolName(std::string_view text, const PreciseSymbol& s) {
    return text.substr(s.nameOffset, s.nameLength);
}

// The scope as tags files write it: "struct:outer::inner", an anonymous one
// as "__anonN"; "" for -1.
std::string SymbolScope(std::string_view text, const PreciseSymbols& symbols, std::int32_t scope);

} // namespace kelpin
