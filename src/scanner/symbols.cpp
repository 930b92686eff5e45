// The symbol scan.
//
// One pass, front to back, with a stack of frames: file level (and the
// braces of extern "C"), the members of a struct or union, the enumerators
// of an enum. In each frame the declaration under way is a small record of
// what its tokens have shown so far: storage class, whether a type has been
// seen, the declarator's name, whether a parameter list followed it. A
// declarator ends at ",", ";", "=", ":" or a body's "{", and that is where
// it is reported. Braces that hold neither members nor enumerators (bodies,
// initialisers) are passed over as the precise scan passes over bodies.
//
// The state is a plain record: a conditional chain keeps a copy of it where
// the chain began and after its first branch, as the precise scan does.
#include "scanner/symbols.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "scanner/c_lexing.h"

namespace kelpin {

namespace {

using namespace clex;

// ---- Words ------------------------------------------------------------------

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

struct WordEntry {
    std::string_view word;
    WordClass cls;
};

constexpr WordEntry Words[] = {
    {"_Alignas", WordClass::Attribute},
    {"_Atomic", WordClass::Qualifier},
    {"_Bool", WordClass::Type},
    {"_Complex", WordClass::Type},
    {"_Imaginary", WordClass::Type},
    {"_Noreturn", WordClass::Qualifier},
    {"_Pragma", WordClass::Attribute},
    {"_Static_assert", WordClass::Attribute},
    {"_Thread_local", WordClass::Qualifier},
    {"__asm", WordClass::Attribute},
    {"__asm__", WordClass::Attribute},
    {"__attribute", WordClass::Attribute},
    {"__attribute__", WordClass::Attribute},
    {"__const", WordClass::Qualifier},
    {"__declspec", WordClass::Attribute},
    {"__extension__", WordClass::Qualifier},
    {"__inline", WordClass::Qualifier},
    {"__inline__", WordClass::Qualifier},
    {"__int128", WordClass::Type},
    {"__restrict", WordClass::Qualifier},
    {"__restrict__", WordClass::Qualifier},
    {"__signed__", WordClass::Type},
    {"__thread", WordClass::Qualifier},
    {"__typeof", WordClass::Typeof},
    {"__typeof__", WordClass::Typeof},
    {"__volatile", WordClass::Qualifier},
    {"__volatile__", WordClass::Qualifier},
    {"alignas", WordClass::Attribute},
    {"asm", WordClass::Attribute},
    {"auto", WordClass::Qualifier},
    {"bool", WordClass::Type},
    {"break", WordClass::Other},
    {"case", WordClass::Other},
    {"char", WordClass::Type},
    {"const", WordClass::Qualifier},
    {"continue", WordClass::Other},
    {"default", WordClass::Other},
    {"do", WordClass::Other},
    {"double", WordClass::Type},
    {"else", WordClass::Other},
    {"enum", WordClass::Enum},
    {"extern", WordClass::Extern},
    {"float", WordClass::Type},
    {"for", WordClass::Other},
    {"goto", WordClass::Other},
    {"if", WordClass::Other},
    {"inline", WordClass::Qualifier},
    {"int", WordClass::Type},
    {"long", WordClass::Type},
    {"register", WordClass::Qualifier},
    {"restrict", WordClass::Qualifier},
    {"return", WordClass::Other},
    {"short", WordClass::Type},
    {"signed", WordClass::Type},
    {"sizeof", WordClass::Other},
    {"static", WordClass::Static},
    {"static_assert", WordClass::Attribute},
    {"struct", WordClass::Struct},
    {"switch", WordClass::Other},
    {"typedef", WordClass::Typedef},
    {"typeof", WordClass::Typeof},
    {"typeof_unqual", WordClass::Typeof},
    {"union", WordClass::Union},
    {"unsigned", WordClass::Type},
    {"void", WordClass::Type},
    {"volatile", WordClass::Qualifier},
    {"while", WordClass::Other},
};

// An open-addressed table, as the precise scan keeps its keywords: most
// words are no keyword, which one probe and a length compare tell.
constexpr std::size_t WordSlots = 256;

constexpr std::size_t WordHash(std::string_view w) {
    return (w.size() * 7 + static_cast<Byte>(w[0]) * 31 + static_cast<Byte>(w[1]) * 3 +
            static_cast<Byte>(w[w.size() - 1])) %
           WordSlots;
}

constexpr std::array<Byte, WordSlots> MakeWordTable() {
    std::array<Byte, WordSlots> table{};
    for (std::size_t i = 0; i < std::size(Words); ++i) {
        std::size_t slot = WordHash(Words[i].word);
        while (table[slot] != 0)
            slot = (slot + 1) % WordSlots;
        table[slot] = static_cast<Byte>(i + 1);
    }
    return table;
}
constexpr std::array<Byte, WordSlots> WordTable = MakeWordTable();

WordClass ClassOf(const Byte* at, std::size_t length) {
    if (length < 2 || length > 14 || !((at[0] >= 'a' && at[0] <= 'z') || at[0] == '_'))
        return WordClass::Name;
    std::string_view word(reinterpret_cast<const char*>(at), length);
    for (std::size_t slot = WordHash(word); WordTable[slot] != 0; slot = (slot + 1) % WordSlots) {
        const WordEntry& e = Words[WordTable[slot] - 1];
        if (e.word.size() == length && std::memcmp(e.word.data(), at, length) == 0) return e.cls;
    }
    return WordClass::Name;
}

bool Reserved(const Byte* at, std::size_t length) {
    return length >= 2 && at[0] == '_' && at[1] == '_';
}

// ---- State ------------------------------------------------------------------

constexpr int MaxFrames = 8;

// What the outermost open parenthesis of a declaration is.
enum class Group : Byte {
    None,
    Params,     // the parameter list right after the declarator's name
    Declarator, // "(*name)", "(*name(params))"
    Call,       // a macro call where a type should stand
    Skip,       // an attribute's argument, a pointer's parameters, ...
};

// The last token, as far as the next one cares.
enum class Last : Byte { Other, Name, TypeWord, Extern, Linkage, Params };

// The declaration under way in a frame.
struct Decl {
    PreciseSpan name;
    PreciseSpan tagName;
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
    Last last = Last::Other;
};

enum class FrameKind : Byte { Members, Enumerators };

struct Frame {
    Decl outer;          // the declaration the struct is part of
    std::int32_t scope;  // its scope
    std::int32_t symbol; // its symbol, or -1 when anonymous
    std::int32_t skip;   // in a body: the braces passed over around it
    bool skipBody;
    FrameKind kind;
};

struct State {
    Decl d;
    Frame frames[MaxFrames];
    std::int32_t frameCount = 0; // 0: file level
    std::int32_t deeper = 0;     // struct braces open beyond the frames, passed over
    std::int32_t skip = 0;       // braces open that are passed over
    std::int32_t paren = 0;
    std::int32_t bracket = 0;
    std::int32_t linkage = 0;
    Group group = Group::None;
    bool skipBody = false; // what skip holds is a body: the declaration ends with it
    bool expectEnumerator = false;
    bool groupExpectIdent = false;
    bool groupFirst = false;    // nothing yet in the open group
    bool groupNameDone = false; // a "[" or "(" after the declarator group's name
    std::int32_t declLevel = 1; // the depth of parentheses the declarator's name is at
};

struct Chain {
    State atIf;
    State afterFirst;
    bool scanning;
    bool firstDone;
};

struct Scan {
    const Byte* begin;
    const Byte* end;
    PreciseSymbols* out;
    State s;
    Chain chains[PreciseMaxNesting];
    int chainCount = 0;
    int deeperChains = 0;
    const Byte* counted;
    std::int32_t countedLines = 0;
    std::int32_t anonymous = 0;
};

std::int32_t LineAt(Scan& sc, std::size_t offset) {
    const Byte* at = sc.begin + offset;
    if (at >= sc.counted) {
        sc.countedLines += CountLineFeeds(sc.counted, at);
    } else {
        sc.countedLines -= CountLineFeeds(at, sc.counted);
    }
    sc.counted = at;
    return sc.countedLines + 1;
}

std::int32_t CurrentScope(const State& s) {
    return s.frameCount > 0 ? s.frames[s.frameCount - 1].scope : -1;
}

std::int32_t Emit(Scan& sc, char kind, PreciseSpan name, bool isStatic) {
    PreciseSymbol symbol{};
    symbol.nameOffset = name.offset;
    symbol.nameLength = name.length;
    symbol.line = LineAt(sc, name.offset);
    symbol.scope = CurrentScope(sc.s);
    symbol.kind = kind;
    symbol.isStatic = isStatic;
    sc.out->symbols.push_back(symbol);
    return static_cast<std::int32_t>(sc.out->symbols.size() - 1);
}

// ---- Declarations -----------------------------------------------------------

void ResetDecl(State& s) {
    s.d = Decl{};
    s.paren = 0;
    s.bracket = 0;
    s.group = Group::None;
}

// struct, union or enum and perhaps a tag, not followed by "{": a type.
void SettleTag(Decl& d) {
    if (d.tag == 0) return;
    d.tag = 0;
    d.typeSeen = true;
}

// The declarator ends at terminator: reports its name.
void EndDeclarator(Scan& sc, Byte terminator) {
    State& s = sc.s;
    Decl& d = s.d;
    SettleTag(d);
    if (d.haveName && !d.bad && !d.inInit && !d.afterCall) {
        char kind = 0;
        if (d.isTypedef) {
            kind = SymbolTypedef;
        } else if (s.frameCount > 0) {
            // A struct holds no function: "u8 X(a:6, b:2);" is a macro's doing.
            kind = d.isFunction ? 0 : SymbolMember;
        } else if (d.isFunction) {
            kind = terminator == '{' ? 0 : SymbolPrototype;
        } else {
            kind = d.isExtern ? SymbolExtern : SymbolVariable;
        }
        if (kind != 0) Emit(sc, kind, d.name, d.isStatic && kind != SymbolTypedef);
    }
    d.haveName = false;
    d.isFunction = false;
    d.idList = false;
    d.inInit = false;
    d.afterBrace = false;
    d.attribute = false;
    d.last = Last::Other;
}

void OpenAggregate(Scan& sc) {
    State& s = sc.s;
    Decl& d = s.d;
    char kind = d.tag;
    if (s.frameCount == MaxFrames) {
        ++s.deeper;
        return;
    }
    PreciseScope scope{};
    scope.kind = kind;
    scope.parent = CurrentScope(s);
    std::int32_t symbol = -1;
    if (d.tagNamed) {
        scope.nameOffset = d.tagName.offset;
        scope.nameLength = d.tagName.length;
        symbol = Emit(sc, kind, d.tagName, false);
    } else {
        scope.anonymous = ++sc.anonymous;
    }
    sc.out->scopes.push_back(scope);
    Frame& f = s.frames[s.frameCount++];
    f.skip = 0;
    f.skipBody = false;
    f.outer = d;
    f.outer.tag = 0;
    f.outer.typeSeen = true;
    f.outer.afterBrace = true;
    f.outer.last = Last::Other;
    f.scope = static_cast<std::int32_t>(sc.out->scopes.size() - 1);
    f.symbol = symbol;
    f.kind = kind == SymbolEnum ? FrameKind::Enumerators : FrameKind::Members;
    s.d = Decl{};
    s.expectEnumerator = true;
}

void CloseAggregate(Scan& sc, const Byte* closing) {
    State& s = sc.s;
    Frame& f = s.frames[--s.frameCount];
    if (f.symbol >= 0 && static_cast<std::size_t>(f.symbol) < sc.out->symbols.size())
        sc.out->symbols[static_cast<std::size_t>(f.symbol)].end =
            LineAt(sc, static_cast<std::size_t>(closing - sc.begin));
    s.d = f.outer;
    s.paren = 0;
    s.bracket = 0;
    s.group = Group::None;
    if (f.outer.inBody) {
        s.skip = f.skip;
        s.skipBody = f.skipBody;
    }
}

void StartSkip(State& s, bool body) {
    s.skip = 1;
    s.skipBody = body;
}

void OpenBrace(Scan& sc) {
    State& s = sc.s;
    Decl& d = s.d;
    if (s.paren > 0 || s.bracket > 0) {
        StartSkip(s, false); // a statement expression, a compound literal
        return;
    }
    if (s.frameCount > 0 && s.frames[s.frameCount - 1].kind == FrameKind::Enumerators) {
        StartSkip(s, false);
        return;
    }
    if (d.tag != 0 && !d.oldStyle) {
        OpenAggregate(sc);
        return;
    }
    if (d.inInit) {
        StartSkip(s, false);
        return;
    }
    if (d.last == Last::Linkage && s.frameCount == 0) {
        ++s.linkage;
        ResetDecl(s);
        return;
    }
    // A function's body (or a macro that makes one), or braces of another
    // kind: nothing in them is declared at this level.
    if (d.isFunction || d.oldStyle || d.afterCall) {
        EndDeclarator(sc, '{');
    }
    StartSkip(s, true);
}

void CloseBrace(Scan& sc, const Byte* closing) {
    State& s = sc.s;
    if (s.deeper > 0) {
        --s.deeper;
        return;
    }
    if (s.frameCount > 0) {
        if (s.frames[s.frameCount - 1].kind == FrameKind::Members && s.paren == 0)
            EndDeclarator(sc, '}');
        CloseAggregate(sc, closing);
        return;
    }
    if (s.linkage > 0) --s.linkage;
    ResetDecl(s);
}

void Identifier(Scan& sc, const Byte* at, std::size_t length) {
    State& s = sc.s;
    Decl& d = s.d;
    PreciseSpan word{static_cast<std::size_t>(at - sc.begin), length};
    if (s.frameCount > 0 && s.frames[s.frameCount - 1].kind == FrameKind::Enumerators) {
        if (s.paren == 0 && s.expectEnumerator) {
            s.expectEnumerator = false;
            if (ClassOf(at, length) == WordClass::Name) Emit(sc, SymbolEnumerator, word, false);
        }
        return;
    }
    if (s.bracket > 0) return;
    WordClass cls = ClassOf(at, length);
    if (s.paren > 0) {
        s.groupFirst = false;
        if (s.group == Group::Params && s.paren == 1) {
            if (!s.groupExpectIdent || cls != WordClass::Name) d.idList = false;
            s.groupExpectIdent = false;
        } else if (s.group == Group::Declarator && s.paren == s.declLevel && !s.groupNameDone &&
                   cls == WordClass::Name) {
            // The last word before the group's "[", "(" or ")":
            // "(*name)", "(CALLCONV *name)".
            d.name = word;
            d.haveName = true;
            d.last = Last::Name;
        } else if (s.group == Group::Declarator && s.paren == s.declLevel) {
            d.last = Last::Other;
        }
        return;
    }
    if (d.oldStyle || d.inInit) return;
    if (d.afterCall) {
        if (d.isTypedef || d.isStatic || d.isExtern) {
            // An attribute-like macro: "typedef __printf(2, 3) void (*f)(...)".
            d.afterCall = false;
            d.typeSeen = false;
        } else {
            // "DEFINE_X(a)" with no ";": what follows is a declaration of its own.
            ResetDecl(s);
        }
    }
    switch (cls) {
    case WordClass::Static: d.isStatic = true; break;
    case WordClass::Extern:
        d.isExtern = true;
        d.last = Last::Extern;
        return;
    case WordClass::Typedef: d.isTypedef = true; break;
    case WordClass::Qualifier: return;
    case WordClass::Type:
        SettleTag(d);
        d.haveName = false; // a word before a type is no name: "API DEPRECATED int f(void)"
        if (d.last == Last::Params && d.idList) {
            d.oldStyle = true;
            return;
        }
        d.typeSeen = true;
        break;
    case WordClass::Struct:
    case WordClass::Union:
    case WordClass::Enum:
        d.haveName = false;
        d.tag = cls == WordClass::Struct  ? SymbolStruct
                : cls == WordClass::Union ? SymbolUnion
                                          : SymbolEnum;
        d.tagNamed = false;
        break;
    case WordClass::Attribute: d.attribute = true; return;
    case WordClass::Typeof:
        SettleTag(d);
        d.typeSeen = true;
        d.attribute = true;
        d.last = Last::Other;
        return;
    case WordClass::Other: d.bad = true; break;
    case WordClass::Name:
        if (d.tag != 0 && !d.tagNamed) {
            d.tagName = word;
            d.tagNamed = true;
            d.last = Last::Other;
            return;
        }
        SettleTag(d);
        if (d.afterBrace && Reserved(at, length)) {
            d.attribute = true; // "} __packed;", "} __aligned(8);"
            return;
        }
        if (d.last == Last::Params) {
            // After a parameter list: old-style parameter declarations, or
            // an attribute-like macro ("f(void) __acquires(x)").
            if (d.idList) {
                d.oldStyle = true;
                return;
            }
            d.attribute = true;
            d.last = Last::Other;
            return;
        }
        if (!d.typeSeen) {
            d.typeSeen = true;
            d.last = Last::TypeWord;
            return;
        }
        if (!d.haveName) {
            d.name = word;
            d.haveName = true;
            d.last = Last::Name;
            return;
        }
        if ((d.last == Last::Name || Reserved(sc.begin + d.name.offset, d.name.length)) &&
            !Reserved(at, length)) {
            // The word before was part of the type: "API Bitmask f(void)",
            // "int __init setup(void)".
            d.name = word;
            d.last = Last::Name;
            d.attribute = false;
            return;
        }
        d.attribute = true; // "fops __initdata", "priv ____cacheline_aligned"
        d.last = Last::Other;
        return;
    }
    d.last = Last::Other;
}

void OpenParen(Scan& sc) {
    State& s = sc.s;
    Decl& d = s.d;
    if (s.paren > 0) {
        if (s.group == Group::Params) {
            d.idList = false;
        } else if (s.group == Group::Declarator && s.paren == s.declLevel) {
            if (d.last == Last::Name) {
                d.isFunction = s.paren == 1; // "(*name(params))"
                s.groupNameDone = true;
            } else if (!d.haveName) {
                ++s.declLevel; // "(*(*name)(params))"
            } else {
                s.groupNameDone = true;
            }
        }
        ++s.paren;
        return;
    }
    s.paren = 1;
    s.groupFirst = true;
    s.groupNameDone = false;
    s.declLevel = 1;
    if (d.oldStyle) {
        // Old-style parameter declarations hold no call: this was none.
        ResetDecl(s);
        s.paren = 1;
    }
    if (d.attribute) {
        s.group = Group::Skip;
        d.attribute = false;
    } else if (d.last == Last::Name && Reserved(sc.begin + d.name.offset, d.name.length)) {
        // "void __weak (*hook)(void)": an attribute-like word, then a
        // declarator in parentheses (or that word's argument).
        d.haveName = false;
        s.group = Group::Call;
    } else if (d.last == Last::Name) {
        s.group = Group::Params;
        d.isFunction = true;
        d.idList = true;
        s.groupExpectIdent = true;
    } else if (d.last == Last::TypeWord && !d.haveName) {
        s.group = Group::Call;
    } else if (!d.haveName && d.typeSeen && d.tag == 0) {
        s.group = Group::Declarator;
    } else {
        s.group = Group::Skip;
    }
    SettleTag(d);
    d.last = Last::Other;
}

void CloseParen(Scan& sc) {
    State& s = sc.s;
    Decl& d = s.d;
    if (s.paren == 0) return;
    if (--s.paren > 0) return;
    Group group = s.group;
    s.group = Group::None;
    switch (group) {
    case Group::Params:
        if (s.groupExpectIdent) d.idList = false; // "()" or "(a,)"
        d.last = Last::Params;
        break;
    case Group::Call:
        d.afterCall = true;
        d.last = Last::Other;
        break;
    default: d.last = Last::Other; break;
    }
}

// Any other token: c is its first byte.
void Punctuator(Scan& sc, Byte c) {
    State& s = sc.s;
    Decl& d = s.d;
    if (s.frameCount > 0 && s.frames[s.frameCount - 1].kind == FrameKind::Enumerators) {
        if (s.paren == 0 && c == ',') s.expectEnumerator = true;
        return;
    }
    if (s.paren > 0) {
        if (s.group == Group::Call && s.paren == 1 && s.groupFirst && (c == '*' || c == '^')) {
            s.group = Group::Declarator; // "type_t (*name)(...)": a declarator, no call
            d.typeSeen = true;
        }
        s.groupFirst = false;
        if (s.group == Group::Params && s.paren == 1) {
            if (c == ',' && !s.groupExpectIdent) {
                s.groupExpectIdent = true;
            } else {
                d.idList = false;
            }
        } else if (s.group == Group::Declarator && s.paren == s.declLevel) {
            if (c == '[' && d.haveName) s.groupNameDone = true;
            d.last = Last::Other;
        }
        return;
    }
    if (c == '[') {
        ++s.bracket;
        d.last = Last::Other;
        return;
    }
    if (c == ']') {
        if (s.bracket > 0) --s.bracket;
        return;
    }
    if (s.bracket > 0) return;
    if (d.oldStyle) return;
    SettleTag(d);
    switch (c) {
    case ';':
        EndDeclarator(sc, ';');
        ResetDecl(s);
        return;
    case ',':
        if (d.afterCall) {
            d.afterCall = false;
            d.haveName = false;
        }
        EndDeclarator(sc, ',');
        return;
    case '=':
        EndDeclarator(sc, '=');
        d.inInit = true;
        return;
    case ':':
        if (s.frameCount > 0 && !d.inInit) {
            EndDeclarator(sc, ':');
            d.inInit = true;
        }
        return;
    case '*':
        // A word taken for the name was part of the type: "int __percpu *p".
        if (!d.inInit && d.haveName) d.haveName = false;
        break;
    default: break;
    }
    d.last = Last::Other;
}

// ---- Directives and conditionals --------------------------------------------

void EndBranch(Scan& sc, Chain& c) {
    if (!c.scanning) return;
    if (!c.firstDone) {
        c.afterFirst = sc.s;
        c.firstDone = true;
    }
}

bool ChainDirective(Scan& sc, Directive d, bool zero) {
    if (d == Directive::Endif) {
        if (sc.deeperChains > 0) {
            --sc.deeperChains;
            return true;
        }
        if (sc.chainCount == 0) return true;
        Chain& c = sc.chains[sc.chainCount - 1];
        EndBranch(sc, c);
        if (c.firstDone) sc.s = c.afterFirst;
        --sc.chainCount;
        return true;
    }
    if (sc.deeperChains > 0 || sc.chainCount == 0) return !zero;
    Chain& c = sc.chains[sc.chainCount - 1];
    EndBranch(sc, c);
    c.scanning = false;
    if (zero) return false;
    c.scanning = true;
    if (c.firstDone) sc.s = c.atIf;
    return true;
}

// After "#": the directive, its line, and whatever groups it leaves out.
const Byte* ReadDirectiveAt(Scan& sc, const Byte* p) {
    const Byte* end = sc.end;
    const Byte* q = SkipDirectiveBlanks(p, end);
    if (end - q > 6 && std::memcmp(q, "define", 6) == 0 && !(Classes[q[6]] & Word)) {
        const Byte* name = SkipDirectiveBlanks(q + 6, end);
        const Byte* after = name;
        while (after < end && (Classes[*after] & Word))
            ++after;
        const Byte* next = SkipLine(after, end);
        if (after > name && !(Classes[*name] & Digit)) {
            PreciseSpan span{static_cast<std::size_t>(name - sc.begin),
                             static_cast<std::size_t>(after - name)};
            std::int32_t i = Emit(sc, SymbolMacro, span, false);
            PreciseSymbol& symbol = sc.out->symbols[static_cast<std::size_t>(i)];
            symbol.scope = -1;
            const Byte* last = next > after && next[-1] == '\n' ? next - 1 : next;
            symbol.end = LineAt(sc, static_cast<std::size_t>(last - sc.begin));
        }
        return next;
    }
    Directive d = ReadDirective(p, end);
    bool zero = (d == Directive::If || d == Directive::Elif) && IsZeroCondition(p, end);
    p = SkipLine(p, end);
    bool scan = true;
    switch (d) {
    case Directive::Other: return p;
    case Directive::If:
    case Directive::IfDef:
        if (sc.chainCount < PreciseMaxNesting) {
            Chain& c = sc.chains[sc.chainCount++];
            c.atIf = sc.s;
            c.firstDone = false;
            c.scanning = !zero;
        } else {
            ++sc.deeperChains;
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

// ---- Reading ----------------------------------------------------------------

// A "{" in a body at brace: the letter of the struct, union or enum it
// opens ("struct name {", "enum {"), with its tag, or 0.
char AggregateBefore(const Scan& sc, const Byte* brace, PreciseSpan* tag) {
    const Byte* p = brace;
    auto word = [&](const Byte*& q, PreciseSpan* span) {
        while (q > sc.begin && (Classes[q[-1]] & Blank))
            --q;
        const Byte* wordEnd = q;
        while (q > sc.begin && (Classes[q[-1]] & Word))
            --q;
        *span = {static_cast<std::size_t>(q - sc.begin), static_cast<std::size_t>(wordEnd - q)};
        return std::string_view(reinterpret_cast<const char*>(q),
                                static_cast<std::size_t>(wordEnd - q));
    };
    auto letter = [](std::string_view w) -> char {
        return w == "struct"  ? SymbolStruct
               : w == "union" ? SymbolUnion
               : w == "enum"  ? SymbolEnum
                              : 0;
    };
    PreciseSpan last{};
    std::string_view w = word(p, &last);
    if (w.empty() || (Classes[static_cast<Byte>(w[0])] & Digit)) return 0;
    if (char kind = letter(w)) {
        tag->length = 0;
        return kind;
    }
    PreciseSpan before{};
    if (char kind = letter(word(p, &before))) {
        *tag = last;
        return kind;
    }
    return 0;
}

// A struct, union or enum opens in a body: its members are read, and the
// body is passed over again after its closing brace.
void OpenAggregateInBody(Scan& sc, char kind, PreciseSpan tag) {
    State& s = sc.s;
    if (s.frameCount == MaxFrames) {
        ++s.skip;
        return;
    }
    Decl body{};
    body.tag = kind;
    body.tagNamed = tag.length > 0;
    body.tagName = tag;
    body.inBody = true;
    s.d = body;
    OpenAggregate(sc);
    Frame& f = s.frames[s.frameCount - 1];
    f.skip = s.skip;
    f.skipBody = s.skipBody;
    s.skip = 0;
}

// Inside braces passed over, until the outermost closes or the text ends.
const Byte* Skipping(Scan& sc, const Byte* p) {
    const Byte* end = sc.end;
    while (sc.s.skip > 0) {
        p = SkipTo(p, end, BodyStop);
        if (p == end) return end;
        Byte c = *p++;
        switch (c) {
        case '{': {
            PreciseSpan tag{};
            char kind = sc.s.skipBody ? AggregateBefore(sc, p - 1, &tag) : 0;
            if (kind != 0) {
                OpenAggregateInBody(sc, kind, tag);
                return p;
            }
            ++sc.s.skip;
            break;
        }
        case '}':
            if (--sc.s.skip == 0 && sc.s.skipBody) ResetDecl(sc.s);
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

// Declarations, members and enumerators, until braces to pass over open.
const Byte* Reading(Scan& sc, const Byte* p) {
    const Byte* end = sc.end;
    State& s = sc.s;
    while (s.skip == 0 && p < end) {
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
            if (s.deeper == 0) Identifier(sc, word, static_cast<std::size_t>(p - word));
            continue;
        }
        ++p;
        if (s.deeper > 0 && c != '{' && c != '}' && c != '/' && c != '#' && c != '"' && c != '\'')
            continue;
        switch (c) {
        case '/':
            if (const Byte* next = AfterCommentOpening(p, end))
                p = next;
            else
                Punctuator(sc, c);
            break;
        case '#': p = ReadDirectiveAt(sc, p); break;
        case '"':
            p = SkipLiteral(p, end, c);
            if (s.deeper > 0) break;
            if (s.paren == 0 && s.d.last == Last::Extern) {
                s.d.last = Last::Linkage;
            } else {
                Punctuator(sc, c);
            }
            break;
        case '\'':
            p = SkipLiteral(p, end, c);
            if (s.deeper == 0) Punctuator(sc, c);
            break;
        case '\\':
            if (const Byte* next = AfterSplice(p, end)) {
                p = next;
            } else {
                Punctuator(sc, c);
            }
            break;
        case '{':
            if (s.deeper > 0) {
                ++s.deeper;
            } else {
                OpenBrace(sc);
            }
            break;
        case '}': CloseBrace(sc, p - 1); break;
        case '(': OpenParen(sc); break;
        case ')': CloseParen(sc); break;
        default:
            if (cls & Digit) {
                while (p < end && ((Classes[*p] & Word) || *p == '.'))
                    ++p;
                Punctuator(sc, '0');
            } else {
                Punctuator(sc, c);
            }
            break;
        }
    }
    return p;
}

// Whether the function's header has "static" among its words.
bool IsStaticFunction(std::string_view text, const PreciseScan& scan, const PreciseFunction& f) {
    for (std::uint32_t i = 0; i < f.headerParts; ++i) {
        std::size_t at = f.headerFirst + i;
        if (at >= scan.header.size()) break;
        const PreciseSpan& part = scan.header[at];
        std::size_t from = part.offset;
        std::size_t to = std::min(part.offset + part.length, f.nameOffset);
        for (std::size_t k = from; k + 6 <= to; ++k) {
            if (text[k] == 's' && text.compare(k, 6, "static") == 0 &&
                (k == 0 || !(Classes[static_cast<Byte>(text[k - 1])] & Word)) &&
                (k + 6 == text.size() || !(Classes[static_cast<Byte>(text[k + 6])] & Word)))
                return true;
        }
    }
    return false;
}

} // namespace

std::string_view SymbolKindName(char kind) {
    switch (kind) {
    case SymbolMacro: return "macro";
    case SymbolEnumerator: return "enumerator";
    case SymbolFunction: return "function";
    case SymbolEnum: return "enum";
    case SymbolMember: return "member";
    case SymbolPrototype: return "prototype";
    case SymbolStruct: return "struct";
    case SymbolTypedef: return "typedef";
    case SymbolUnion: return "union";
    case SymbolVariable: return "variable";
    case SymbolExtern: return "externvar";
    default: return "";
    }
}

void ScanSymbols(std::string_view text, PreciseSymbols* out) {
    out->symbols.clear();
    out->scopes.clear();
    ScanPrecise(text, &out->scan);

    auto sc = std::make_unique<Scan>();
    sc->begin = reinterpret_cast<const Byte*>(text.data());
    sc->end = sc->begin + text.size();
    sc->out = out;
    sc->counted = sc->begin;
    const Byte* p = sc->begin;
    while (p < sc->end)
        p = sc->s.skip > 0 ? Skipping(*sc, p) : Reading(*sc, p);

    std::size_t others = out->symbols.size();
    for (const PreciseFunction& f : out->scan.functions) {
        PreciseSymbol symbol{};
        symbol.nameOffset = f.nameOffset;
        symbol.nameLength = f.nameLength;
        symbol.line = f.start;
        symbol.end = f.end;
        symbol.scope = -1;
        symbol.kind = SymbolFunction;
        symbol.isStatic = IsStaticFunction(text, out->scan, f);
        out->symbols.push_back(symbol);
    }
    auto byName = [](const PreciseSymbol& a, const PreciseSymbol& b) {
        return a.nameOffset < b.nameOffset;
    };
    auto middle = out->symbols.begin() + static_cast<std::ptrdiff_t>(others);
    if (!std::is_sorted(out->symbols.begin(), middle, byName))
        std::stable_sort(out->symbols.begin(), middle, byName);
    std::inplace_merge(out->symbols.begin(), middle, out->symbols.end(), byName);
}

std::string SymbolScope(std::string_view text, const PreciseSymbols& symbols, std::int32_t scope) {
    if (scope < 0 || static_cast<std::size_t>(scope) >= symbols.scopes.size()) return {};
    const PreciseScope& innermost = symbols.scopes[static_cast<std::size_t>(scope)];
    std::string path;
    for (std::int32_t i = scope; i >= 0 && static_cast<std::size_t>(i) < symbols.scopes.size();) {
        const PreciseScope& sc = symbols.scopes[static_cast<std::size_t>(i)];
        std::string name = sc.nameLength > 0
                               ? std::string(text.substr(sc.nameOffset, sc.nameLength))
                               : "__anon" + std::to_string(sc.anonymous);
        path = path.empty() ? name : name + "::" + path;
        if (sc.parent >= i) break;
        i = sc.parent;
    }
    return std::string(SymbolKindName(innermost.kind)) + ":" + path;
}

} // namespace kelpin
