// The precise scanner.
//
// The text is read once, front to back, in two modes. Inside braces (a
// function body, or the braces of a struct or an initialiser) only braces,
// comments, literals and directives matter, and the scanner runs over
// everything else. At file level it reads tokens and follows the shape of the
// declaration they make: the name before a parameter list, what comes after
// the list, old-style parameter declarations, "=" and the like.
//
// Every directive is read where it stands. The conditional ones keep a stack
// of frames, each with a copy of the scanner's state where the chain began
// and after its first scanned branch; the state is a small plain record, so
// these copies are cheap, and they are all the scanner needs to go back to a
// branch's starting point without reading anything twice.
//
// Lines are counted only when a function needs one: the line feeds between
// the last counted place and the one asked for, forward or back.
#include "scanner/precise.h"

#include "scanner/c_lexing.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kelpin {

namespace {

using namespace clex;

constexpr std::size_t None = static_cast<std::size_t>(-1);

// ---- Words ------------------------------------------------------------------

enum : Byte {
    Keyword = 1,   // never a function's name
    DeclStart = 2, // starts a declaration: types, qualifiers, storage classes
    Attribute = 4, // takes a parenthesised argument that is no parameter list
    Extern = 8,
};

struct KeywordEntry {
    std::string_view word;
    Byte kind;
};

constexpr Byte Decl = Keyword | DeclStart;
constexpr Byte Attr = Keyword | Attribute;

constexpr KeywordEntry Keywords[] = {
    {"_Alignas", Decl},
    {"_Alignof", Keyword},
    {"_Atomic", Decl},
    {"_Bool", Decl},
    {"_Complex", Decl},
    {"_Generic", Keyword},
    {"_Imaginary", Decl},
    {"_Noreturn", Decl},
    {"_Pragma", Attr},
    {"_Static_assert", Keyword},
    {"_Thread_local", Decl},
    {"__alignof", Keyword},
    {"__alignof__", Keyword},
    {"__asm", Attr},
    {"__asm__", Attr},
    {"__attribute", Attr},
    {"__attribute__", Attr},
    {"__builtin_offsetof", Keyword},
    {"__builtin_va_arg", Keyword},
    {"__const", Decl},
    {"__declspec", Attr},
    {"__extension__", Attr},
    {"__inline", Decl},
    {"__inline__", Decl},
    {"__restrict", Decl},
    {"__restrict__", Decl},
    {"__signed__", Decl},
    {"__thread", Decl},
    {"__typeof", Keyword},
    {"__typeof__", Keyword},
    {"__volatile__", Decl},
    {"alignof", Keyword},
    {"asm", Attr},
    {"auto", Decl},
    {"bool", Decl},
    {"break", Keyword},
    {"case", Keyword},
    {"char", Decl},
    {"const", Decl},
    {"continue", Keyword},
    {"default", Keyword},
    {"defined", Keyword},
    {"do", Keyword},
    {"double", Decl},
    {"else", Keyword},
    {"enum", Decl},
    {"extern", Decl | Extern},
    {"false", Keyword},
    {"float", Decl},
    {"for", Keyword},
    {"goto", Keyword},
    {"if", Keyword},
    {"inline", Decl},
    {"int", Decl},
    {"long", Decl},
    {"nullptr", Keyword},
    {"register", Decl},
    {"restrict", Decl},
    {"return", Keyword},
    {"short", Decl},
    {"signed", Decl},
    {"sizeof", Keyword},
    {"static", Decl},
    {"static_assert", Keyword},
    {"struct", Decl},
    {"switch", Keyword},
    {"true", Keyword},
    {"typedef", Decl},
    {"typeof", Keyword},
    {"typeof_unqual", Keyword},
    {"union", Decl},
    {"unsigned", Decl},
    {"void", Decl},
    {"volatile", Decl},
    {"while", Keyword},
};

// An open-addressed table of the keywords, hashed on their length and their
// first, second and last characters: most words at file level are looked up,
// and most are no keyword, which one probe and a length compare tell.
constexpr std::size_t KeywordSlots = 256;

constexpr std::size_t KeywordHash(std::string_view w) {
    return (w.size() * 7 + static_cast<Byte>(w[0]) * 31 + static_cast<Byte>(w[1]) * 3 +
            static_cast<Byte>(w[w.size() - 1])) %
           KeywordSlots;
}

constexpr std::array<Byte, KeywordSlots> MakeKeywordTable() {
    std::array<Byte, KeywordSlots> table{}; // 0: empty, else index + 1
    for (std::size_t i = 0; i < std::size(Keywords); ++i) {
        std::size_t slot = KeywordHash(Keywords[i].word);
        while (table[slot] != 0)
            slot = (slot + 1) % KeywordSlots;
        table[slot] = static_cast<Byte>(i + 1);
    }
    return table;
}
constexpr std::array<Byte, KeywordSlots> KeywordTable = MakeKeywordTable();

constexpr bool EveryKeywordFound() {
    for (const KeywordEntry& k : Keywords) {
        std::size_t slot = KeywordHash(k.word);
        while (KeywordTable[slot] != 0 && Keywords[KeywordTable[slot] - 1].word != k.word)
            slot = (slot + 1) % KeywordSlots;
        if (KeywordTable[slot] == 0) return false;
    }
    return true;
}
static_assert(EveryKeywordFound());

Byte KindOf(std::string_view word) {
    // Every keyword starts with a lower-case letter or "_".
    if (word.size() < 2 || word.size() > 18 ||
        !((word[0] >= 'a' && word[0] <= 'z') || word[0] == '_'))
        return 0;
    for (std::size_t slot = KeywordHash(word); KeywordTable[slot] != 0;
         slot = (slot + 1) % KeywordSlots) {
        const KeywordEntry& e = Keywords[KeywordTable[slot] - 1];
        if (e.word.size() == word.size() &&
            std::memcmp(e.word.data(), word.data(), word.size()) == 0)
            return e.kind;
    }
    return 0;
}

// ---- State ------------------------------------------------------------------

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

struct Candidate {
    PreciseSpan name;
    std::size_t declBegin = 0; // the declaration's first token
    std::size_t headerEnd = 0; // just past the parameter list and attribute-like groups
    bool macroHeader = false;  // the declaration begins with the name
    bool macroCall = false;    // a macro call rather than a header: the declaration begins
                               // with it, or an argument is a literal ("__printf(1, 2)")
};

// Everything a conditional chain copies: a plain record.
struct State {
    std::int32_t depth = 0;      // braces open: a body or data
    std::int32_t paren = 0;      // parentheses open in the declaration at file level
    std::int32_t linkage = 0;    // extern "C" { blocks open
    std::int32_t open = -1;      // the function whose body is open
    std::size_t openName = None; // and its name's offset: the record at open is that
                                 // function's only while it holds this name
    std::int32_t retract = -1;   // a function whose header is only a macro call: a table if ";"
                                 // comes next
    std::int32_t knrDecls = 0;   // old-style parameter declarations after knr's list
    Phase phase = Phase::Empty;
    Group group = Group::None;
    Last last = Last::Nothing;
    bool dataBraces = false;  // the outermost brace is data, not a body
    bool openMacro = false;   // the open function's header is only a macro call
    bool knrValid = false;    // knr's identifier list may be followed by declarations and a body
    bool stmtSimple = true;   // the statement since the last ";" can declare parameters
    bool stmtEmpty = true;    // nothing since the last ";"
    bool idList = false;      // the parameter list so far: identifiers and commas only
    bool expectIdent = false; // in it, the last token was "(" or ","
    bool groupEmpty = true;
    bool otherStar = false;  // an Other group that began with "*"
    bool innerValid = false; // a name followed by "(" inside "(*...)"
    Byte otherTokens = 0;    // tokens in an Other group, up to 2
    std::size_t declBegin = None;
    // The declaration's text between directives: the parts before the last
    // directive met since declBegin, and where the text after it begins.
    std::size_t partStart = 0;
    std::uint8_t partCount = 0;
    PreciseSpan parts[MaxHeaderParts];
    Candidate cand;
    Candidate knr;
    PreciseSpan lastIdent;
    PreciseSpan inner;
};

struct Frame {
    State atIf;       // where the chain began
    State afterFirst; // where its first scanned branch ended
    std::size_t recordsAtBranch;
    std::int32_t openEndAfterFirst; // the end of atIf's open function then
    bool scanning;                  // the current branch is scanned
    bool firstDone;                 // afterFirst holds
};

struct Scan {
    const Byte* begin;
    const Byte* end;
    std::vector<PreciseFunction>* out;
    std::vector<PreciseSpan>* header;
    State s;
    Frame frames[PreciseMaxNesting];
    int frameCount = 0;
    int deeper = 0; // conditionals open beyond the frames
    const Byte* counted;
    std::int32_t countedLines = 0; // line feeds before counted
};

// The 1-based line of the byte at.
std::int32_t LineOf(Scan& sc, const Byte* at) {
    if (at >= sc.counted) {
        sc.countedLines += CountLineFeeds(sc.counted, at);
    } else {
        sc.countedLines -= CountLineFeeds(at, sc.counted);
    }
    sc.counted = at;
    return sc.countedLines + 1;
}

// ---- Declarations -----------------------------------------------------------

// A declaration begins at offset (None: none is under way). Old-style
// parameter declarations keep the parts of the header before them.
void SetDeclBegin(State& s, std::size_t offset) {
    s.declBegin = offset;
    if (!s.knrValid) s.partCount = 0;
}

// A directive begins at offset: the declaration's text so far is a part.
void EndPart(State& s, std::size_t offset) {
    if (s.declBegin == None) return;
    std::size_t from = std::max(s.partStart, s.declBegin);
    if (from >= offset) return;
    if (s.partCount == MaxHeaderParts) {
        // More directives than parts: the last part takes in the rest.
        PreciseSpan& last = s.parts[MaxHeaderParts - 1];
        last.length = offset - last.offset;
        return;
    }
    s.parts[s.partCount++] = {from, offset - from};
}

void EndStatement(State& s) {
    s.phase = Phase::Empty;
    s.paren = 0;
    s.group = Group::None;
    SetDeclBegin(s, None);
    s.stmtSimple = true;
    s.stmtEmpty = true;
}

// After "}" at file level, or a body's end: nothing before it carries on.
void EndDeclaration(State& s) {
    EndStatement(s);
    s.knrValid = false;
    s.last = Last::Other;
}

// Takes back the functions from index on, and their headers' parts.
void DropFrom(Scan& sc, std::size_t index) {
    sc.header->resize((*sc.out)[index].headerFirst);
    sc.out->resize(index);
}

// The record of the function whose body s has open, or null. A branch of a
// conditional may have dropped that record and listed another function in its
// place since s was copied: a record is s's only while it has s's name.
PreciseFunction* OpenRecord(Scan& sc, const State& s) {
    if (s.open < 0 || static_cast<std::size_t>(s.open) >= sc.out->size()) return nullptr;
    PreciseFunction& f = (*sc.out)[static_cast<std::size_t>(s.open)];
    return f.nameOffset == s.openName ? &f : nullptr;
}

// Whether a function with this name (the same word of the text) is listed
// already: a header that two branches of a chain both finish, each with a
// whole body of its own, is one function.
bool Listed(const Scan& sc, std::size_t nameOffset) {
    for (auto it = sc.out->rbegin(); it != sc.out->rend(); ++it) {
        if (it->nameOffset == nameOffset) return true;
        if (it->nameOffset < nameOffset) return false;
    }
    return false;
}

void BeginBody(Scan& sc, const Candidate& c) {
    State& s = sc.s;
    if (Listed(sc, c.name.offset)) {
        s.depth = 1;
        s.dataBraces = true;
        return;
    }
    PreciseFunction f{};
    f.nameOffset = c.name.offset;
    f.nameLength = c.name.length;
    // The header's parts within [declBegin, headerEnd).
    f.headerFirst = static_cast<std::uint32_t>(sc.header->size());
    auto add = [&](std::size_t from, std::size_t to) {
        from = std::max(from, c.declBegin);
        to = std::min(to, c.headerEnd);
        if (from < to) sc.header->push_back({from, to - from});
    };
    for (int i = 0; i < s.partCount; ++i)
        add(s.parts[i].offset, s.parts[i].offset + s.parts[i].length);
    add(s.partStart, c.headerEnd);
    f.headerParts = static_cast<std::uint32_t>(sc.header->size()) - f.headerFirst;
    // The declaration's first line, then its name's: counting goes forward.
    f.first = LineOf(sc, sc.begin + std::min(c.declBegin, c.name.offset));
    f.start = LineOf(sc, sc.begin + c.name.offset);
    f.end = 0;
    s.open = static_cast<std::int32_t>(sc.out->size());
    s.openName = c.name.offset;
    s.openMacro = c.macroHeader;
    sc.out->push_back(f);
    s.depth = 1;
    s.dataBraces = false;
}

void OpenBraceAtFileLevel(Scan& sc) {
    State& s = sc.s;
    s.retract = -1;
    if (s.paren == 0) {
        if (s.last == Last::Linkage) {
            ++s.linkage;
            EndDeclaration(s);
            return;
        }
        if (s.knrValid && s.knrDecls > 0 && s.last == Last::Semicolon) {
            BeginBody(sc, s.knr);
            return;
        }
        if (s.phase == Phase::AfterParams) {
            BeginBody(sc, s.cand);
            return;
        }
    }
    // Data: a struct's members, an initialiser, a braced macro argument.
    s.depth = 1;
    s.dataBraces = true;
    s.knrValid = false;
    s.stmtSimple = false;
    s.stmtEmpty = false;
    if (s.phase == Phase::Empty) SetDeclBegin(s, None);
    if (s.phase != Phase::Initializer) s.phase = Phase::Head;
}

// The outermost brace closes at closing.
void CloseOutermost(Scan& sc, const Byte* closing) {
    State& s = sc.s;
    if (!s.dataBraces && s.open >= 0) {
        if (PreciseFunction* f = OpenRecord(sc, s)) f->end = LineOf(sc, closing);
        s.retract = s.openMacro ? s.open : -1;
        s.open = -1;
        EndDeclaration(s);
        return;
    }
    // struct tag { ... } name; goes on after its braces.
    s.last = Last::Other;
}

void Semicolon(Scan& sc) {
    State& s = sc.s;
    if (s.retract >= 0 && static_cast<std::size_t>(s.retract) + 1 == sc.out->size())
        DropFrom(sc, static_cast<std::size_t>(s.retract));
    s.retract = -1;
    if (s.paren > 0) {
        // No ";" stands in parentheses at file level: the list was never
        // closed; start afresh.
        EndDeclaration(s);
        s.last = Last::Semicolon;
        return;
    }
    if (s.knrValid) {
        if (s.stmtSimple && !s.stmtEmpty) {
            ++s.knrDecls;
        } else {
            s.knrValid = false;
        }
    }
    EndStatement(s);
    s.last = Last::Semicolon;
}

void Identifier(Scan& sc, const Byte* at, std::size_t length) {
    State& s = sc.s;
    s.retract = -1;
    s.stmtEmpty = false;
    PreciseSpan word{static_cast<std::size_t>(at - sc.begin), length};
    Byte kind = KindOf(std::string_view(reinterpret_cast<const char*>(at), length));

    if (s.paren > 0) {
        if (s.group == Group::Params && s.paren == 1) {
            if (!s.expectIdent || kind != 0) s.idList = false;
            s.expectIdent = false;
            s.groupEmpty = false;
        } else if (s.group == Group::Params) {
            s.idList = false;
        } else if (s.group == Group::Other && s.paren == 1) {
            if (s.otherTokens < 2) ++s.otherTokens;
            s.lastIdent = word;
            s.last = kind ? Last::Keyword : Last::Name;
        }
        return;
    }
    if ((kind & Keyword) && !(kind & DeclStart)) s.stmtSimple = false;

    switch (s.phase) {
    case Phase::Empty:
        s.phase = Phase::Head;
        SetDeclBegin(s, word.offset);
        break;
    case Phase::AfterParams: {
        if (kind & Attribute) {
            s.last = Last::Attribute;
            return;
        }
        if (kind != 0 || s.cand.macroCall) {
            // A new declaration, or an old-style parameter's; after a macro
            // call ("DEFINE_X(a)", "__printf(1, 2)"), the declaration that
            // follows it.
            s.phase = Phase::Head;
            SetDeclBegin(s, word.offset);
            break;
        }
        if (s.last == Last::Tail) {
            // Two words: a type and a name, so the group before them was an
            // attribute-like macro call ("ATTR(x) size_t name(...)").
            s.phase = Phase::Head;
            SetDeclBegin(s, s.lastIdent.offset);
            break;
        }
        // Attribute-like after a typed header: "int f(void) __acquires(x) {",
        // or an old-style parameter's type.
        s.last = Last::Tail;
        s.lastIdent = word;
        return;
    }
    case Phase::Head:
    case Phase::Initializer: break;
    }
    s.lastIdent = word;
    if (kind & Extern) {
        s.last = Last::Extern;
    } else if (kind & Attribute) {
        s.last = Last::Attribute;
    } else {
        s.last = kind ? Last::Keyword : Last::Name;
    }
}

void OpenParen(Scan& sc, std::size_t at) {
    State& s = sc.s;
    s.retract = -1;
    s.stmtEmpty = false;
    if (s.paren > 0) {
        if (s.group == Group::Params) {
            s.idList = false;
        } else if (s.group == Group::Other && s.paren == 1) {
            if (s.otherStar && s.last == Last::Name && !s.innerValid) {
                s.inner = s.lastIdent;
                s.innerValid = true;
            }
            s.otherTokens = 2;
        }
        ++s.paren;
        return;
    }
    s.paren = 1;
    if (s.phase == Phase::Initializer) {
        s.group = Group::Other;
    } else if (s.phase == Phase::AfterParams &&
               (s.last == Last::Tail || s.last == Last::Attribute || s.last == Last::CloseParen)) {
        s.group = Group::Attribute;
    } else if (s.last == Last::Name || s.last == Last::ParenName) {
        s.group = Group::Params;
        s.cand.name = s.lastIdent;
        if (s.declBegin == None) {
            // Only the name stands before the list, perhaps with a directive
            // between them.
            s.knrValid = false;
            SetDeclBegin(s, s.lastIdent.offset);
            if (s.partStart > s.lastIdent.offset) s.parts[s.partCount++] = s.lastIdent;
        }
        s.cand.declBegin = s.declBegin;
        s.cand.macroHeader = s.declBegin == s.lastIdent.offset;
        s.cand.macroCall = s.cand.macroHeader;
        s.idList = true;
        s.expectIdent = true;
        s.groupEmpty = true;
        s.knrValid = false;
        s.stmtSimple = false;
    } else if (s.last == Last::Attribute) {
        s.group = Group::Attribute;
    } else {
        s.group = Group::Other;
        s.otherStar = false;
        s.innerValid = false;
        s.otherTokens = 0;
    }
    if (s.phase == Phase::Empty) {
        s.phase = Phase::Head;
        SetDeclBegin(s, at);
    }
}

void CloseParen(Scan& sc, const Byte* after) {
    State& s = sc.s;
    s.retract = -1;
    s.stmtEmpty = false;
    if (s.paren == 0) {
        s.stmtSimple = false;
        if (s.phase == Phase::AfterParams) s.phase = Phase::Head;
        s.last = Last::Other;
        return;
    }
    if (--s.paren > 0) return;
    Group group = s.group;
    Last inside = s.last; // in an Other group: its last token at this level
    s.group = Group::None;
    s.last = Last::CloseParen;
    switch (group) {
    case Group::Params:
        s.phase = Phase::AfterParams;
        s.cand.headerEnd = static_cast<std::size_t>(after - sc.begin);
        if (s.idList && !s.groupEmpty && !s.expectIdent) {
            // Old-style parameter declarations may follow: the header's text
            // ends here, and its parts are kept over them.
            EndPart(s, s.cand.headerEnd);
            s.partStart = s.cand.headerEnd;
            s.knrValid = true;
            s.knr = s.cand;
            s.knrDecls = 0;
            s.stmtSimple = true;
            s.stmtEmpty = true;
        }
        break;
    case Group::Attribute:
        if (s.phase == Phase::AfterParams)
            s.cand.headerEnd = static_cast<std::size_t>(after - sc.begin);
        break;
    case Group::Other:
        if (s.phase == Phase::Initializer) break;
        if (s.innerValid) {
            // "(*name(params))": a function that returns a pointer to one.
            s.phase = Phase::AfterParams;
            s.cand.name = s.inner;
            if (s.declBegin == None) {
                SetDeclBegin(s, s.inner.offset);
                if (s.partStart > s.inner.offset && s.partCount < MaxHeaderParts)
                    s.parts[s.partCount++] = s.inner;
            }
            s.cand.declBegin = s.declBegin;
            s.cand.headerEnd = static_cast<std::size_t>(after - sc.begin);
            s.cand.macroHeader = false;
            s.cand.macroCall = false;
        } else if (s.otherTokens == 1 && inside == Last::Name) {
            // "(name)": a name in parentheses, as a definition may be
            // written to keep a macro of that name from expanding.
            s.last = Last::ParenName;
        }
        break;
    case Group::None: break;
    }
}

// Any other token at file level: c is its first byte, at its offset.
void Punctuator(Scan& sc, Byte c, std::size_t at) {
    State& s = sc.s;
    s.retract = -1;
    s.stmtEmpty = false;
    if (s.paren > 0) {
        if (s.group == Group::Params) {
            // An argument that begins with a literal: a macro's argument,
            // never a parameter.
            if (s.paren == 1 && s.expectIdent && (c == '0' || c == '"' || c == '\''))
                s.cand.macroCall = true;
            if (c == ',' && s.paren == 1 && !s.expectIdent) {
                s.expectIdent = true;
            } else {
                s.idList = false;
            }
        } else if (s.group == Group::Other && s.paren == 1) {
            if (s.otherTokens == 0 && c == '*') s.otherStar = true;
            if (s.otherTokens < 2) ++s.otherTokens;
            s.last = Last::Other;
        }
        return;
    }
    if (c != '*' && c != ',' && c != '[' && c != ']' && c != '0') s.stmtSimple = false;
    if (s.phase == Phase::Empty) {
        s.phase = Phase::Head;
        SetDeclBegin(s, at);
    } else if (s.phase == Phase::AfterParams) {
        s.phase = Phase::Head;
    }
    if (c == '=') s.phase = Phase::Initializer;
    s.last = Last::Other;
}

// ---- Conditionals -----------------------------------------------------------

void EndBranch(Scan& sc, Frame& f) {
    if (!f.scanning) return;
    if (!f.firstDone) {
        f.afterFirst = sc.s;
        f.firstDone = true;
        f.openEndAfterFirst = 0;
        if (const PreciseFunction* open = OpenRecord(sc, f.atIf)) f.openEndAfterFirst = open->end;
        return;
    }
    // A later branch: a function it opened and left open is the first
    // branch's, written again.
    State& s = sc.s;
    if (OpenRecord(sc, s) != nullptr && static_cast<std::size_t>(s.open) >= f.recordsAtBranch)
        DropFrom(sc, static_cast<std::size_t>(s.open));
}

void StartBranch(Scan& sc, Frame& f) {
    f.scanning = true;
    f.recordsAtBranch = sc.out->size();
    if (!f.firstDone) return; // the state is where the chain began
    sc.s = f.atIf;
    sc.s.retract = -1; // the first branch decided that
    if (PreciseFunction* open = OpenRecord(sc, sc.s)) open->end = 0;
}

// Handles a directive of a chain that starts a branch or ends the chain:
// false when that branch is to be skipped.
bool ChainDirective(Scan& sc, Directive d, bool zero) {
    if (d == Directive::Endif) {
        if (sc.deeper > 0) {
            --sc.deeper;
            return true;
        }
        if (sc.frameCount == 0) return true;
        Frame& f = sc.frames[sc.frameCount - 1];
        EndBranch(sc, f);
        if (f.firstDone) {
            sc.s = f.afterFirst;
            if (PreciseFunction* open = OpenRecord(sc, f.atIf)) open->end = f.openEndAfterFirst;
        }
        --sc.frameCount;
        return true;
    }
    // #elif or #else
    if (sc.deeper > 0 || sc.frameCount == 0) return !zero;
    Frame& f = sc.frames[sc.frameCount - 1];
    EndBranch(sc, f);
    f.scanning = false;
    if (zero) return false;
    StartBranch(sc, f);
    return true;
}

// After "#": reads the directive and its line, and for a conditional one
// whatever group it leaves unscanned. Returns where scanning goes on.
const Byte* ReadDirectiveAndGroups(Scan& sc, const Byte* p) {
    EndPart(sc.s, static_cast<std::size_t>(p - 1 - sc.begin));
    const Byte* end = sc.end;
    Directive d = ReadDirective(p, end);
    bool zero = (d == Directive::If || d == Directive::Elif) && IsZeroCondition(p, end);
    p = SkipLine(p, end);
    bool scan = true;
    switch (d) {
    case Directive::Other: return p;
    case Directive::If:
    case Directive::IfDef:
        if (sc.frameCount < PreciseMaxNesting) {
            Frame& f = sc.frames[sc.frameCount++];
            f.atIf = sc.s;
            f.firstDone = false;
            f.scanning = !zero;
            f.recordsAtBranch = sc.out->size();
            f.openEndAfterFirst = 0;
        } else {
            ++sc.deeper;
        }
        scan = !zero;
        break;
    case Directive::Elif:
    case Directive::ElifDef:
    case Directive::Else:
    case Directive::Endif: scan = ChainDirective(sc, d, zero); break;
    }
    while (!scan) {
        Directive next = SkipGroup(p, end, &zero);
        if (next == Directive::Other) return end;
        scan = ChainDirective(sc, next, zero);
    }
    return p;
}

const Byte* ReadDirectiveAt(Scan& sc, const Byte* p) {
    p = ReadDirectiveAndGroups(sc, p);
    // Whichever state holds now, its declaration's text goes on here.
    sc.s.partStart = static_cast<std::size_t>(p - sc.begin);
    return p;
}

// ---- The two modes ----------------------------------------------------------

// Inside braces, until the outermost one closes or the text ends.
const Byte* InBraces(Scan& sc, const Byte* p) {
    const Byte* end = sc.end;
    while (sc.s.depth > 0) {
        p = SkipTo(p, end, BodyStop);
        if (p == end) return end;
        Byte c = *p++;
        switch (c) {
        case '{': ++sc.s.depth; break;
        case '}':
            if (--sc.s.depth == 0) CloseOutermost(sc, p - 1);
            break;
        case '/':
            if (const Byte* next = AfterCommentOpening(p, end)) p = next;
            break;
        case '#': p = ReadDirectiveAt(sc, p); break;
        default: p = SkipLiteral(p, end, c); break;
        }
    }
    return p;
}

// At file level, until a brace opens or the text ends.
const Byte* AtFileLevel(Scan& sc, const Byte* p) {
    const Byte* end = sc.end;
    State& s = sc.s;
    while (s.depth == 0 && p < end) {
        Byte c = *p;
        Byte cls = Classes[c];
        if (cls & Blank) {
            ++p;
            continue;
        }
        if ((cls & Word) && !(cls & Digit)) {
            const Byte* word = p;
            while (p < end && (Classes[*p] & Word))
                ++p;
            Identifier(sc, word, static_cast<std::size_t>(p - word));
            continue;
        }
        const std::size_t token = static_cast<std::size_t>(p - sc.begin);
        ++p;
        switch (c) {
        case '/':
            if (const Byte* next = AfterCommentOpening(p, end))
                p = next;
            else
                Punctuator(sc, c, token);
            break;
        case '#': p = ReadDirectiveAt(sc, p); break;
        case '"':
            p = SkipLiteral(p, end, c);
            if (s.paren == 0 && s.last == Last::Extern) {
                s.stmtEmpty = false;
                s.last = Last::Linkage;
            } else {
                Punctuator(sc, c, token);
            }
            break;
        case '\'':
            p = SkipLiteral(p, end, c);
            Punctuator(sc, c, token);
            break;
        case '\\':
            if (const Byte* next = AfterSplice(p, end)) {
                p = next;
            } else {
                Punctuator(sc, c, token);
            }
            break;
        case '{': OpenBraceAtFileLevel(sc); break;
        case '}':
            // A linkage block's end, or a stray brace.
            s.retract = -1;
            if (s.linkage > 0) --s.linkage;
            EndDeclaration(s);
            break;
        case '(': OpenParen(sc, token); break;
        case ')': CloseParen(sc, p); break;
        case ';': Semicolon(sc); break;
        default:
            if (cls & Digit) {
                // A number: its letters, digits and dots are one token.
                while (p < end && ((Classes[*p] & Word) || *p == '.'))
                    ++p;
                Punctuator(sc, '0', token);
            } else {
                Punctuator(sc, c, token);
            }
            break;
        }
    }
    return p;
}

} // namespace

void ScanPrecise(std::string_view text, PreciseScan* scan) {
    std::vector<PreciseFunction>* functions = &scan->functions;
    functions->clear();
    scan->header.clear();
    Scan sc{};
    sc.begin = reinterpret_cast<const Byte*>(text.data());
    sc.end = sc.begin + text.size();
    sc.out = functions;
    sc.header = &scan->header;
    sc.counted = sc.begin;
    const Byte* p = sc.begin;
    while (p < sc.end) {
        p = sc.s.depth > 0 ? InBraces(sc, p) : AtFileLevel(sc, p);
    }
    // Chains still open at the end of the text end there.
    while (sc.frameCount > 0)
        ChainDirective(sc, Directive::Endif, false);
    // A header left pending by a chain's first branch opens its body after
    // the functions of the later branches: back into text order.
    auto byName = [](const PreciseFunction& a, const PreciseFunction& b) {
        return a.nameOffset < b.nameOffset;
    };
    if (!std::is_sorted(functions->begin(), functions->end(), byName))
        std::stable_sort(functions->begin(), functions->end(), byName);
}

std::string PreciseDeclaration(std::string_view text, const PreciseScan& scan,
                               const PreciseFunction& f) {
    std::string out;
    bool space = false;
    for (std::uint32_t i = 0; i < f.headerParts; ++i) {
        std::size_t at = f.headerFirst + i;
        if (at >= scan.header.size() || scan.header[at].offset > text.size()) break;
        std::string_view part = text.substr(scan.header[at].offset, scan.header[at].length);
        const Byte* p = reinterpret_cast<const Byte*>(part.data());
        const Byte* end = p + part.size();
        space = true;
        while (p < end) {
            Byte c = *p;
            const Byte* from = p;
            if (Classes[c] & Blank) {
                space = true;
                ++p;
                continue;
            }
            if (c == '\\' && AfterSplice(p + 1, end)) {
                p = AfterSplice(p + 1, end);
                continue;
            }
            if (c == '/' && end - p >= 2 && (p[1] == '*' || p[1] == '/')) {
                p = p[1] == '*' ? SkipBlockComment(p + 2, end) : SkipLineComment(p + 2, end);
                space = true;
                continue;
            }
            if (c == '"' || c == '\'') {
                p = SkipLiteral(p + 1, end, c);
            } else if (Classes[c] & Word) {
                while (p < end && (Classes[*p] & Word))
                    ++p;
            } else {
                ++p;
            }
            if (space && !out.empty()) out += ' ';
            space = false;
            // The token as written, without the line splices in it.
            while (from < p) {
                const Byte* next = *from == '\\' ? AfterSplice(from + 1, p) : nullptr;
                if (next != nullptr) {
                    from = next;
                } else {
                    out += static_cast<char>(*from++);
                }
            }
        }
    }
    return out;
}

} // namespace kelpin
