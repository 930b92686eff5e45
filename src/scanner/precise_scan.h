// The inside of the precise scan and the symbol scan: one reading of the
// text that drives two readers of declarations at once.
//
// The function reader (precise_declarations.cpp) follows the shape of a
// declaration at file level and lists the functions defined there; the
// symbol reader (symbols.cpp) reports the declarators of every declaration at
// file level and in the braces of a struct, union or enum. The reading
// (precise_reading.cpp) tokenises the text wherever either of them reads
// tokens and only follows braces, comments, literals and directives where
// both pass over braces; the directives and conditional chains
// (precise_conditionals.cpp) keep one stack of chains with a copy of both
// readers' states. The function list alone skips the symbol reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scanner/c_lexing.h"
#include "scanner/precise.h"
#include "scanner/symbols.h"

namespace kelpin::precise_scan {

using clex::Byte;

inline constexpr std::size_t None = static_cast<std::size_t>(-1);

// ---- Words ------------------------------------------------------------------

// What a keyword is to the function reader: a set of these.
enum : Byte {
    Keyword = 1,   // never a function's name
    DeclStart = 2, // starts a declaration: types, qualifiers, storage classes
    Attribute = 4, // takes a parenthesised argument that is no parameter list
    Extern = 8,
};

// What a word is to the symbol reader.
enum class WordClass : Byte {
    Name,
    Type,      // int, char, unsigned, ...: a type
    Qualifier, // const, inline, register, ...: changes nothing here
    Static,
    Extern,
    Typedef,
    Struct,
    Union,
    Enum,
    Attribute, // takes a parenthesised argument that is no declarator
    Typeof,    // a type, with a parenthesised argument
    Other,     // a keyword that no declaration holds at this level
};

struct WordKinds {
    Byte function;    // 0: no keyword to the function reader
    WordClass symbol; // WordClass::Name: no keyword to the symbol reader
};

// The word's kinds, looked up once for both readers.
WordKinds KindsOf(const Byte* at, std::size_t length);

// ---- The function reader's state --------------------------------------------

constexpr int MaxHeaderParts = 8;

// Where a declaration at file level has got to.
enum class Phase : Byte {
    Empty,       // nothing since the last ";" or "}"
    Head,        // specifiers, declarators, no parameter list that could open a body
    AfterParams, // just after a name's parameter list (and attribute-like groups)
    Initializer, // after "=": data up to the ";"
};

// What the outermost open parenthesis at file level is.
enum class Group : Byte {
    None,
    Params,    // a name's parameter list
    Attribute, // an attribute's argument, or a declarator's further parameter list
    Other,     // "(*name)", "(name)", a cast, ...
};

// The last token at file level, as far as the next one cares.
enum class Last : Byte {
    Nothing,
    Name,      // an identifier that may name a function
    Keyword,   // any other keyword
    Attribute, // __attribute__ and its kind
    Extern,    // extern
    Linkage,   // extern "C"
    Tail,      // an identifier right after a parameter list
    ParenName, // "(name)"
    CloseParen,
    Semicolon,
    Other,
};

// A header that may open a function's body.
struct Candidate {
    PreciseSpan name;
    std::size_t declBegin = 0; // the declaration's first token
    std::size_t headerEnd = 0; // just past the parameter list and attribute-like groups
    bool macroHeader = false;  // the declaration begins with the name
    bool macroCall = false;    // a macro call rather than a header: the declaration begins
                               // with it, or an argument is a literal ("__printf(1, 2)")
};

// The declaration under way at file level.
struct Declaration {
    Phase phase = Phase::Empty;
    Last last = Last::Nothing;
    std::size_t begin = None;     // its first token; None: no declaration is under way
    PreciseSpan lastWord{};       // the last identifier read
    bool mayDeclareParams = true; // the statement since the last ";" can declare
                                  // old-style parameters
    bool statementEmpty = true;   // nothing since the last ";"
};

// The parentheses open in the declaration.
struct Parens {
    std::int32_t depth = 0;
    Group group = Group::None;     // what the outermost one is
    bool identifiersOnly = false;  // a parameter list so far: identifiers and commas only
    bool expectIdentifier = false; // in it, the last token was "(" or ","
    bool empty = true;             // nothing in it yet
    bool startsWithStar = false;   // an Other group that began with "*"
    bool innerNamed = false;       // a name followed by "(" inside "(*...)"
    Byte tokens = 0;               // tokens in an Other group, up to 2
    PreciseSpan innerName{};       // that name
};

// The declaration's text between directives: the parts before the last
// directive met since it began, and where the text after it begins.
struct HeaderText {
    std::size_t partStart = 0;
    std::uint8_t partCount = 0;
    PreciseSpan parts[MaxHeaderParts]{};
};

// An identifier list ("f(a, b)") that old-style parameter declarations and a
// body may follow.
struct OldStyleHeader {
    Candidate header;
    std::int32_t declarations = 0; // parameter declarations read after it
    bool possible = false;
};

// The function whose body is open.
struct OpenBody {
    std::int32_t record = -1;      // its index in the list
    std::size_t nameOffset = None; // and its name's offset: the record is that
                                   // function's only while it holds this name
    bool macroHeader = false;      // its header is only a macro call
};

// Everything a conditional chain copies of the function reader: a plain
// record.
struct FunctionState {
    std::int32_t braces = 0;          // braces open: a body or data
    std::int32_t linkageBlocks = 0;   // extern "C" { blocks open
    bool dataBraces = false;          // the outermost brace is data, not a body
    std::int32_t tableCandidate = -1; // a function whose header is only a macro
                                      // call: a table if ";" comes next
    OpenBody body;
    Declaration decl;
    Parens parens;
    HeaderText text;
    Candidate header; // the latest name with a parameter list
    OldStyleHeader oldStyle;
};

// ---- The symbol reader's state ----------------------------------------------

constexpr int MaxAggregates = 8;

// What the outermost open parenthesis of a declaration is.
enum class SymbolGroup : Byte {
    None,
    Params,     // the parameter list right after the declarator's name
    Declarator, // "(*name)", "(*name(params))"
    Call,       // a macro call where a type should stand
    Skip,       // an attribute's argument, a pointer's parameters, ...
};

// The last token, as far as the next one cares.
enum class SymbolLast : Byte { Other, Name, TypeWord, Extern, Linkage, Params };

// The declaration under way in an aggregate or at file level.
struct Declarator {
    PreciseSpan name{};
    PreciseSpan tagName{};
    char tag = 0;          // struct, union or enum just read: its letter
    bool tagNamed = false; // and the word after it
    bool isTypedef = false;
    bool isStatic = false;
    bool isExtern = false;
    bool typeSeen = false;
    bool haveName = false;
    bool isFunction = false; // the declarator has a parameter list
    bool idList = false;     // which holds identifiers and commas only, one at least
    bool afterCall = false;  // a macro call stands where a type should
    bool inInit = false;     // after "=" or a bit-field's ":", up to "," or ";"
    bool afterBrace = false; // just after a struct's closing brace
    bool attribute = false;  // the next "(" is an attribute's argument
    bool oldStyle = false;   // old-style parameter declarations, up to the body
    bool bad = false;        // a statement, not a declaration
    bool inBody = false;     // a struct in a function's body: nothing after it is read
    SymbolLast last = SymbolLast::Other;
};

enum class AggregateKind : Byte { Members, Enumerators };

// A struct, union or enum whose braces are open.
struct Aggregate {
    Declarator outer;        // the declaration it is part of
    std::int32_t scope;      // its scope
    std::int32_t symbol;     // its symbol, or -1 when anonymous
    std::int32_t skipBraces; // in a body: the braces passed over around it
    bool skippingBody;
    AggregateKind kind;
};

// Everything a conditional chain copies of the symbol reader.
struct SymbolState {
    Declarator decl;
    Aggregate aggregates[MaxAggregates];
    std::int32_t aggregateCount = 0;   // 0: file level
    std::int32_t deeperAggregates = 0; // struct braces open beyond them, passed over
    std::int32_t skipBraces = 0;       // braces open that are passed over
    std::int32_t parens = 0;
    std::int32_t brackets = 0;
    std::int32_t linkageBlocks = 0;
    SymbolGroup group = SymbolGroup::None;
    bool skippingBody = false; // what skipBraces holds is a body: the declaration ends with it
    bool expectEnumerator = false;
    bool groupExpectsIdentifier = false;
    bool groupStarting = false;       // nothing yet in the open group
    bool groupNameDone = false;       // a "[" or "(" after the declarator group's name
    std::int32_t declaratorLevel = 1; // the depth of parentheses the declarator's name is at
};

// ---- The scan ---------------------------------------------------------------

// A conditional chain: both readers' states where it began and after its
// first scanned branch.
struct Chain {
    FunctionState functionsAtIf;
    FunctionState functionsAfterFirst;
    SymbolState symbolsAtIf;
    SymbolState symbolsAfterFirst;
    std::size_t recordsAtBranch;
    std::int32_t openEndAfterFirst; // the end of functionsAtIf's open function then
    bool scanning;                  // the current branch is scanned
    bool firstDone;                 // the states after the first branch hold
};

struct Scan {
    const Byte* begin;
    const Byte* end;
    std::vector<PreciseFunction>* functionsFound;
    std::vector<PreciseSpan>* headerParts;
    PreciseSymbols* symbolsFound; // null: the symbol reader is left out
    FunctionState functions;
    SymbolState symbols;
    // The chains open, the first chainCount of them; the vector grows to the
    // deepest nesting met and never shrinks, so that a text without
    // conditionals pays for none.
    std::vector<Chain> chains;
    int chainCount = 0;
    int deeperChains = 0; // conditionals open beyond the chains
    const Byte* counted;
    std::int32_t countedLines = 0; // line feeds before counted
    std::int32_t anonymous = 0;    // anonymous aggregates so far
};

// The 1-based line of the byte at.
std::int32_t LineOf(Scan& scan, const Byte* at);

// Reads the whole text into scan's lists.
void ReadText(Scan& scan);

// Directives: after "#", the directive, its line and whatever groups it
// leaves out. Returns where reading goes on.
const Byte* ReadDirectiveAt(Scan& scan, const Byte* p);
// At the end of the text: the chains still open end there.
void EndOpenChains(Scan& scan);

// The function reader, token by token at file level.
void FunctionWord(Scan& scan, PreciseSpan word, Byte kind);
void FunctionOpenParen(Scan& scan, std::size_t at);
void FunctionCloseParen(Scan& scan, const Byte* after);
void FunctionSemicolon(Scan& scan);
void FunctionLiteral(Scan& scan, Byte quote, std::size_t at);
void FunctionPunctuator(Scan& scan, Byte c, std::size_t at);
// Braces anywhere.
void FunctionOpenBrace(Scan& scan);
void FunctionCloseBrace(Scan& scan, const Byte* closing);
// At a directive's "#" (at) and after its line (after).
void FunctionDirectiveStarts(Scan& scan, std::size_t at);
void FunctionDirectiveEnded(Scan& scan, std::size_t after);
// The record of the function whose body state has open, or null.
PreciseFunction* OpenRecord(Scan& scan, const FunctionState& state);
// Takes back the functions from index on, and their headers' parts.
void DropFrom(Scan& scan, std::size_t index);

// The symbol reader: tokens where it reads them.
void SymbolWord(Scan& scan, PreciseSpan word, WordClass cls);
void SymbolOpenParen(Scan& scan);
void SymbolCloseParen(Scan& scan);
void SymbolLiteral(Scan& scan, Byte quote);
void SymbolPunctuator(Scan& scan, Byte c);
// Braces anywhere.
void SymbolOpenBrace(Scan& scan, const Byte* brace);
void SymbolCloseBrace(Scan& scan, const Byte* closing);
// "#define NAME" from name to after, the directive's line ending at lineEnd.
void SymbolDefinition(Scan& scan, const Byte* name, const Byte* after, const Byte* lineEnd);

// Whether the function reader reads tokens, and the symbol reader.
inline bool FunctionsReadTokens(const Scan& scan) {
    return scan.functions.braces == 0;
}
inline bool SymbolsReadTokens(const Scan& scan) {
    return scan.symbolsFound != nullptr && scan.symbols.skipBraces == 0;
}

} // namespace kelpin::precise_scan
