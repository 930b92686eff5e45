// The function reader: the shape of a declaration at file level, and the
// functions whose bodies follow their headers.
//
// At file level it reads tokens and follows the shape of the declaration they
// make: the name before a parameter list, what comes after the list,
// old-style parameter declarations, "=" and the like. Inside braces it only
// counts them, and at the outermost closing one ends the function whose body
// they were.
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "scanner/precise_scan.h"

namespace kelpin::precise_scan {

// ---- Words ------------------------------------------------------------------

namespace {

constexpr Byte Decl = Keyword | DeclStart;
constexpr Byte Attr = Keyword | Attribute;

// Every keyword either reader knows, by what it is to each: the function
// reader's kind, the symbol reader's class, and the words, one blank apart.
struct WordGroup {
    Byte function;
    WordClass symbol;
    std::string_view words;
};

// clang-format off
constexpr WordGroup WordGroups[] = {
    {Decl,          WordClass::Qualifier, "_Atomic _Noreturn _Thread_local __const __inline "
                                          "__inline__ __restrict __restrict__ __thread __volatile__ "
                                          "auto const inline register restrict volatile"},
    {Decl,          WordClass::Type,      "_Bool _Complex _Imaginary __signed__ bool char double "
                                          "float int long short signed unsigned void"},
    {Keyword,       WordClass::Other,     "break case continue default do else for goto if return "
                                          "sizeof switch while"},
    {Keyword,       WordClass::Name,      "_Alignof _Generic __alignof __alignof__ "
                                          "__builtin_offsetof __builtin_va_arg alignof defined false "
                                          "nullptr true"},
    {Attr,          WordClass::Attribute, "_Pragma __asm __asm__ __attribute __attribute__ "
                                          "__declspec asm"},
    {Keyword,       WordClass::Typeof,    "__typeof __typeof__ typeof typeof_unqual"},
    {Keyword,       WordClass::Attribute, "_Static_assert static_assert"},
    {0,             WordClass::Attribute, "alignas"},
    {0,             WordClass::Qualifier, "__volatile"},
    {0,             WordClass::Type,      "__int128"},
    {Attr,          WordClass::Qualifier, "__extension__"},
    {Decl,          WordClass::Attribute, "_Alignas"},
    {Decl,          WordClass::Enum,      "enum"},
    {Decl,          WordClass::Static,    "static"},
    {Decl,          WordClass::Struct,    "struct"},
    {Decl,          WordClass::Typedef,   "typedef"},
    {Decl,          WordClass::Union,     "union"},
    {Decl | Extern, WordClass::Extern,    "extern"},
};
// clang-format on

struct WordEntry {
    std::string_view word;
    Byte function;
    WordClass symbol;
};

constexpr std::size_t CountWords() {
    std::size_t count = 0;
    for (const WordGroup& group : WordGroups)
        count +=
            static_cast<std::size_t>(std::count(group.words.begin(), group.words.end(), ' ')) + 1;
    return count;
}

constexpr std::array<WordEntry, CountWords()> MakeWords() {
    std::array<WordEntry, CountWords()> words{};
    std::size_t n = 0;
    for (const WordGroup& group : WordGroups) {
        std::string_view rest = group.words;
        for (;;) {
            std::size_t blank = rest.find(' ');
            words[n++] = {rest.substr(0, blank), group.function, group.symbol};
            if (blank == std::string_view::npos) break;
            rest.remove_prefix(blank + 1);
        }
    }
    return words;
}
constexpr std::array<WordEntry, CountWords()> Words = MakeWords();

// An open-addressed table of the keywords, hashed on their length and their
// first, second and last characters: most words are looked up, and most are
// no keyword, which one probe and a length compare tell.
constexpr std::size_t WordSlots = 256;

constexpr std::size_t WordHash(std::string_view w) {
    return (w.size() * 7 + static_cast<Byte>(w[0]) * 31 + static_cast<Byte>(w[1]) * 3 +
            static_cast<Byte>(w[w.size() - 1])) %
           WordSlots;
}

constexpr std::array<Byte, WordSlots> MakeWordTable() {
    std::array<Byte, WordSlots> table{}; // 0: empty, else index + 1
    for (std::size_t i = 0; i < std::size(Words); ++i) {
        std::size_t slot = WordHash(Words[i].word);
        while (table[slot] != 0)
            slot = (slot + 1) % WordSlots;
        table[slot] = static_cast<Byte>(i + 1);
    }
    return table;
}
constexpr std::array<Byte, WordSlots> WordTable = MakeWordTable();

constexpr std::size_t LongestWord = 18;

// Every word is found where the lookup looks, and none is looked over as too
// long.
constexpr bool EveryWordFound() {
    for (const WordEntry& k : Words) {
        if (k.word.size() > LongestWord) return false;
        std::size_t slot = WordHash(k.word);
        while (WordTable[slot] != 0 && Words[WordTable[slot] - 1].word != k.word)
            slot = (slot + 1) % WordSlots;
        if (WordTable[slot] == 0) return false;
    }
    return true;
}
static_assert(EveryWordFound());

} // namespace

WordKinds KindsOf(const Byte* at, std::size_t length) {
    // Every keyword starts with a lower-case letter or "_".
    if (length < 2 || length > LongestWord || !((at[0] >= 'a' && at[0] <= 'z') || at[0] == '_'))
        return {0, WordClass::Name};
    std::string_view word(reinterpret_cast<const char*>(at), length);
    for (std::size_t slot = WordHash(word); WordTable[slot] != 0; slot = (slot + 1) % WordSlots) {
        const WordEntry& e = Words[WordTable[slot] - 1];
        if (e.word.size() == length && std::memcmp(e.word.data(), at, length) == 0)
            return {e.function, e.symbol};
    }
    return {0, WordClass::Name};
}

// ---- Declarations -----------------------------------------------------------

namespace {

// A token other than ";" and "}" at file level: a function before it whose
// header is only a macro call is no table, and the statement holds
// something. The parts of the state a token works on.
struct TokenParts {
    Declaration& decl;
    Parens& parens;
};

TokenParts TokenRead(FunctionState& state) {
    state.tableCandidate = -1;
    state.decl.statementEmpty = false;
    return {state.decl, state.parens};
}

// A declaration begins at offset (None: none is under way). Old-style
// parameter declarations keep the parts of the header before them.
void SetDeclBegin(FunctionState& state, std::size_t offset) {
    state.decl.begin = offset;
    if (!state.oldStyle.possible) state.text.partCount = 0;
}

// A directive begins at offset: the declaration's text so far is a part.
void EndPart(FunctionState& state, std::size_t offset) {
    if (state.decl.begin == None) return;
    std::size_t from = std::max(state.text.partStart, state.decl.begin);
    if (from >= offset) return;
    if (state.text.partCount == MaxHeaderParts) {
        // More directives than parts: the last part takes in the rest.
        PreciseSpan& last = state.text.parts[MaxHeaderParts - 1];
        last.length = offset - last.offset;
        return;
    }
    state.text.parts[state.text.partCount++] = {from, offset - from};
}

void EndStatement(FunctionState& state) {
    state.decl.phase = Phase::Empty;
    state.parens.depth = 0;
    state.parens.group = Group::None;
    SetDeclBegin(state, None);
    state.decl.mayDeclareParams = true;
    state.decl.statementEmpty = true;
}

// After "}" at file level, or a body's end: nothing before it carries on.
void EndDeclaration(FunctionState& state) {
    EndStatement(state);
    state.oldStyle.possible = false;
    state.decl.last = Last::Other;
}

// Whether a function with this name (the same word of the text) is listed
// already: a header that two branches of a chain both finish, each with a
// whole body of its own, is one function.
bool Listed(const Scan& scan, std::size_t nameOffset) {
    for (auto it = scan.functionsFound->rbegin(); it != scan.functionsFound->rend(); ++it) {
        if (it->nameOffset == nameOffset) return true;
        if (it->nameOffset < nameOffset) return false;
    }
    return false;
}

void BeginBody(Scan& scan, const Candidate& header) {
    FunctionState& state = scan.functions;
    if (Listed(scan, header.name.offset)) {
        state.braces = 1;
        state.dataBraces = true;
        return;
    }
    PreciseFunction f{};
    f.nameOffset = header.name.offset;
    f.nameLength = header.name.length;
    // The header's parts within [declBegin, headerEnd).
    f.headerFirst = static_cast<std::uint32_t>(scan.headerParts->size());
    auto add = [&](std::size_t from, std::size_t to) {
        from = std::max(from, header.declBegin);
        to = std::min(to, header.headerEnd);
        if (from < to) scan.headerParts->push_back({from, to - from});
    };
    for (int i = 0; i < state.text.partCount; ++i)
        add(state.text.parts[i].offset, state.text.parts[i].offset + state.text.parts[i].length);
    add(state.text.partStart, header.headerEnd);
    f.headerParts = static_cast<std::uint32_t>(scan.headerParts->size()) - f.headerFirst;
    // The declaration's first line, then its name's: counting goes forward.
    f.first = LineOf(scan, scan.begin + std::min(header.declBegin, header.name.offset));
    f.start = LineOf(scan, scan.begin + header.name.offset);
    f.end = 0;
    state.body.record = static_cast<std::int32_t>(scan.functionsFound->size());
    state.body.nameOffset = header.name.offset;
    state.body.macroHeader = header.macroHeader;
    scan.functionsFound->push_back(f);
    state.braces = 1;
    state.dataBraces = false;
}

void OpenBraceAtFileLevel(Scan& scan) {
    FunctionState& state = scan.functions;
    Declaration& decl = state.decl;
    state.tableCandidate = -1;
    if (state.parens.depth == 0) {
        if (decl.last == Last::Linkage) {
            ++state.linkageBlocks;
            EndDeclaration(state);
            return;
        }
        if (state.oldStyle.possible && state.oldStyle.declarations > 0 &&
            decl.last == Last::Semicolon) {
            BeginBody(scan, state.oldStyle.header);
            return;
        }
        if (decl.phase == Phase::AfterParams) {
            BeginBody(scan, state.header);
            return;
        }
    }
    // Data: a struct's members, an initialiser, a braced macro argument.
    state.braces = 1;
    state.dataBraces = true;
    state.oldStyle.possible = false;
    decl.mayDeclareParams = false;
    decl.statementEmpty = false;
    if (decl.phase == Phase::Empty) SetDeclBegin(state, None);
    if (decl.phase != Phase::Initializer) decl.phase = Phase::Head;
}

// The outermost brace closes at closing.
void CloseOutermost(Scan& scan, const Byte* closing) {
    FunctionState& state = scan.functions;
    if (!state.dataBraces && state.body.record >= 0) {
        if (PreciseFunction* f = OpenRecord(scan, state)) f->end = LineOf(scan, closing);
        state.tableCandidate = state.body.macroHeader ? state.body.record : -1;
        state.body.record = -1;
        EndDeclaration(state);
        return;
    }
    // struct tag { ... } name; goes on after its braces.
    state.decl.last = Last::Other;
}

} // namespace

// Takes back the functions from index on, and their headers' parts.
void DropFrom(Scan& scan, std::size_t index) {
    scan.headerParts->resize((*scan.functionsFound)[index].headerFirst);
    scan.functionsFound->resize(index);
}

// The record of the function whose body state has open, or null. A branch of
// a conditional may have dropped that record and listed another function in
// its place since state was copied: a record is that state's only while it
// has the name the state holds.
PreciseFunction* OpenRecord(Scan& scan, const FunctionState& state) {
    if (state.body.record < 0 ||
        static_cast<std::size_t>(state.body.record) >= scan.functionsFound->size())
        return nullptr;
    PreciseFunction& f = (*scan.functionsFound)[static_cast<std::size_t>(state.body.record)];
    return f.nameOffset == state.body.nameOffset ? &f : nullptr;
}

void FunctionSemicolon(Scan& scan) {
    FunctionState& state = scan.functions;
    Declaration& decl = state.decl;
    if (state.tableCandidate >= 0 &&
        static_cast<std::size_t>(state.tableCandidate) + 1 == scan.functionsFound->size())
        DropFrom(scan, static_cast<std::size_t>(state.tableCandidate));
    state.tableCandidate = -1;
    if (state.parens.depth > 0) {
        // No ";" stands in parentheses at file level: the list was never
        // closed; start afresh.
        EndDeclaration(state);
        decl.last = Last::Semicolon;
        return;
    }
    if (state.oldStyle.possible) {
        if (decl.mayDeclareParams && !decl.statementEmpty) {
            ++state.oldStyle.declarations;
        } else {
            state.oldStyle.possible = false;
        }
    }
    EndStatement(state);
    decl.last = Last::Semicolon;
}

void FunctionWord(Scan& scan, PreciseSpan word, Byte kind) {
    FunctionState& state = scan.functions;
    auto [decl, parens] = TokenRead(state);
    if (parens.depth > 0) {
        if (parens.group == Group::Params && parens.depth == 1) {
            if (!parens.expectIdentifier || kind != 0) parens.identifiersOnly = false;
            parens.expectIdentifier = false;
            parens.empty = false;
        } else if (parens.group == Group::Params) {
            parens.identifiersOnly = false;
        } else if (parens.group == Group::Other && parens.depth == 1) {
            if (parens.tokens < 2) ++parens.tokens;
            decl.lastWord = word;
            decl.last = kind ? Last::Keyword : Last::Name;
        }
        return;
    }
    if ((kind & Keyword) && !(kind & DeclStart)) decl.mayDeclareParams = false;

    switch (decl.phase) {
    case Phase::Empty:
        decl.phase = Phase::Head;
        SetDeclBegin(state, word.offset);
        break;
    case Phase::AfterParams: {
        if (kind & Attribute) {
            decl.last = Last::Attribute;
            return;
        }
        if (kind != 0 || state.header.macroCall) {
            // A new declaration, or an old-style parameter's; after a macro
            // call ("DEFINE_X(a)", "__printf(1, 2)"), the declaration that
            // follows it.
            decl.phase = Phase::Head;
            SetDeclBegin(state, word.offset);
            break;
        }
        if (decl.last == Last::Tail) {
            // Two words: a type and a name, so the group before them was an
            // attribute-like macro call ("ATTR(x) size_t name(...)").
            decl.phase = Phase::Head;
            SetDeclBegin(state, decl.lastWord.offset);
            break;
        }
        // Attribute-like after a typed header: "int f(void) __acquires(x) {",
        // or an old-style parameter's type.
        decl.last = Last::Tail;
        decl.lastWord = word;
        return;
    }
    case Phase::Head:
    case Phase::Initializer: break;
    }
    decl.lastWord = word;
    if (kind & Extern) {
        decl.last = Last::Extern;
    } else if (kind & Attribute) {
        decl.last = Last::Attribute;
    } else {
        decl.last = kind ? Last::Keyword : Last::Name;
    }
}

void FunctionOpenParen(Scan& scan, std::size_t at) {
    FunctionState& state = scan.functions;
    auto [decl, parens] = TokenRead(state);
    if (parens.depth > 0) {
        if (parens.group == Group::Params) {
            parens.identifiersOnly = false;
        } else if (parens.group == Group::Other && parens.depth == 1) {
            if (parens.startsWithStar && decl.last == Last::Name && !parens.innerNamed) {
                parens.innerName = decl.lastWord;
                parens.innerNamed = true;
            }
            parens.tokens = 2;
        }
        ++parens.depth;
        return;
    }
    parens.depth = 1;
    if (decl.phase == Phase::Initializer) {
        parens.group = Group::Other;
    } else if (decl.phase == Phase::AfterParams &&
               (decl.last == Last::Tail || decl.last == Last::Attribute ||
                decl.last == Last::CloseParen)) {
        parens.group = Group::Attribute;
    } else if (decl.last == Last::Name || decl.last == Last::ParenName) {
        parens.group = Group::Params;
        state.header.name = decl.lastWord;
        if (decl.begin == None) {
            // Only the name stands before the list, perhaps with a directive
            // between them.
            state.oldStyle.possible = false;
            SetDeclBegin(state, decl.lastWord.offset);
            if (state.text.partStart > decl.lastWord.offset)
                state.text.parts[state.text.partCount++] = decl.lastWord;
        }
        state.header.declBegin = decl.begin;
        state.header.macroHeader = decl.begin == decl.lastWord.offset;
        state.header.macroCall = state.header.macroHeader;
        parens.identifiersOnly = true;
        parens.expectIdentifier = true;
        parens.empty = true;
        state.oldStyle.possible = false;
        decl.mayDeclareParams = false;
    } else if (decl.last == Last::Attribute) {
        parens.group = Group::Attribute;
    } else {
        parens.group = Group::Other;
        parens.startsWithStar = false;
        parens.innerNamed = false;
        parens.tokens = 0;
    }
    if (decl.phase == Phase::Empty) {
        decl.phase = Phase::Head;
        SetDeclBegin(state, at);
    }
}

void FunctionCloseParen(Scan& scan, const Byte* after) {
    FunctionState& state = scan.functions;
    auto [decl, parens] = TokenRead(state);
    if (parens.depth == 0) {
        decl.mayDeclareParams = false;
        if (decl.phase == Phase::AfterParams) decl.phase = Phase::Head;
        decl.last = Last::Other;
        return;
    }
    if (--parens.depth > 0) return;
    Group group = parens.group;
    Last inside = decl.last; // in an Other group: its last token at this level
    parens.group = Group::None;
    decl.last = Last::CloseParen;
    switch (group) {
    case Group::Params:
        decl.phase = Phase::AfterParams;
        state.header.headerEnd = static_cast<std::size_t>(after - scan.begin);
        if (parens.identifiersOnly && !parens.empty && !parens.expectIdentifier) {
            // Old-style parameter declarations may follow: the header's text
            // ends here, and its parts are kept over them.
            EndPart(state, state.header.headerEnd);
            state.text.partStart = state.header.headerEnd;
            state.oldStyle.possible = true;
            state.oldStyle.header = state.header;
            state.oldStyle.declarations = 0;
            decl.mayDeclareParams = true;
            decl.statementEmpty = true;
        }
        break;
    case Group::Attribute:
        if (decl.phase == Phase::AfterParams)
            state.header.headerEnd = static_cast<std::size_t>(after - scan.begin);
        break;
    case Group::Other:
        if (decl.phase == Phase::Initializer) break;
        if (parens.innerNamed) {
            // "(*name(params))": a function that returns a pointer to one.
            decl.phase = Phase::AfterParams;
            state.header.name = parens.innerName;
            if (decl.begin == None) {
                SetDeclBegin(state, parens.innerName.offset);
                if (state.text.partStart > parens.innerName.offset &&
                    state.text.partCount < MaxHeaderParts)
                    state.text.parts[state.text.partCount++] = parens.innerName;
            }
            state.header.declBegin = decl.begin;
            state.header.headerEnd = static_cast<std::size_t>(after - scan.begin);
            state.header.macroHeader = false;
            state.header.macroCall = false;
        } else if (parens.tokens == 1 && inside == Last::Name) {
            // "(name)": a name in parentheses, as a definition may be
            // written to keep a macro of that name from expanding.
            decl.last = Last::ParenName;
        }
        break;
    case Group::None: break;
    }
}

// Any other token at file level: c is its first byte, at its offset.
void FunctionPunctuator(Scan& scan, Byte c, std::size_t at) {
    FunctionState& state = scan.functions;
    auto [decl, parens] = TokenRead(state);
    if (parens.depth > 0) {
        if (parens.group == Group::Params) {
            // An argument that begins with a literal: a macro's argument,
            // never a parameter.
            if (parens.depth == 1 && parens.expectIdentifier && (c == '0' || c == '"' || c == '\''))
                state.header.macroCall = true;
            if (c == ',' && parens.depth == 1 && !parens.expectIdentifier) {
                parens.expectIdentifier = true;
            } else {
                parens.identifiersOnly = false;
            }
        } else if (parens.group == Group::Other && parens.depth == 1) {
            if (parens.tokens == 0 && c == '*') parens.startsWithStar = true;
            if (parens.tokens < 2) ++parens.tokens;
            decl.last = Last::Other;
        }
        return;
    }
    if (c != '*' && c != ',' && c != '[' && c != ']' && c != '0') decl.mayDeclareParams = false;
    if (decl.phase == Phase::Empty) {
        decl.phase = Phase::Head;
        SetDeclBegin(state, at);
    } else if (decl.phase == Phase::AfterParams) {
        decl.phase = Phase::Head;
    }
    if (c == '=') decl.phase = Phase::Initializer;
    decl.last = Last::Other;
}

// A literal at file level: after extern, "C" makes a linkage block;
// otherwise it is a token like any other.
void FunctionLiteral(Scan& scan, Byte quote, std::size_t at) {
    FunctionState& state = scan.functions;
    if (quote == '"' && state.parens.depth == 0 && state.decl.last == Last::Extern) {
        state.decl.statementEmpty = false;
        state.decl.last = Last::Linkage;
        return;
    }
    FunctionPunctuator(scan, quote, at);
}

void FunctionOpenBrace(Scan& scan) {
    if (scan.functions.braces > 0) {
        ++scan.functions.braces;
    } else {
        OpenBraceAtFileLevel(scan);
    }
}

void FunctionCloseBrace(Scan& scan, const Byte* closing) {
    FunctionState& state = scan.functions;
    if (state.braces > 0) {
        if (--state.braces == 0) CloseOutermost(scan, closing);
        return;
    }
    // A linkage block's end, or a stray brace.
    state.tableCandidate = -1;
    if (state.linkageBlocks > 0) --state.linkageBlocks;
    EndDeclaration(state);
}

void FunctionDirectiveStarts(Scan& scan, std::size_t at) {
    EndPart(scan.functions, at);
}

void FunctionDirectiveEnded(Scan& scan, std::size_t after) {
    scan.functions.text.partStart = after;
}

} // namespace kelpin::precise_scan
