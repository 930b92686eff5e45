// The symbol reader: the declarators of every declaration at file level
// and in the braces of a struct, union or enum, reported where they end.
//
// In each aggregate (and at file level) the declaration under way is a small
// record of what its tokens have shown so far: storage class, whether a type
// has been seen, the declarator's name, whether a parameter list followed it.
// A declarator ends at ",", ";", "=", ":" or a body's "{", and that is where
// it is reported. Braces that hold neither members nor enumerators (bodies,
// initialisers) are passed over, but a struct, union or enum that opens in a
// body is read for its members. Functions come from the function reader,
// which reads the same text in the same pass (precise_scan.h).
#include "scanner/symbols.h"

#include <algorithm>

#include "scanner/precise_scan.h"

namespace kelpin {

namespace precise_scan {

namespace {

using namespace clex;

bool Reserved(const Byte* at, std::size_t length) {
    return length >= 2 && at[0] == '_' && at[1] == '_';
}

std::int32_t CurrentScope(const SymbolState& state) {
    return state.aggregateCount > 0 ? state.aggregates[state.aggregateCount - 1].scope : -1;
}

std::int32_t Emit(Scan& scan, char kind, PreciseSpan name, bool isStatic) {
    PreciseSymbol symbol{};
    symbol.nameOffset = name.offset;
    symbol.nameLength = name.length;
    symbol.line = LineOf(scan, scan.begin + name.offset);
    symbol.scope = CurrentScope(scan.symbols);
    symbol.kind = kind;
    symbol.isStatic = isStatic;
    scan.symbolsFound->symbols.push_back(symbol);
    return static_cast<std::int32_t>(scan.symbolsFound->symbols.size() - 1);
}

void ResetDecl(SymbolState& state) {
    state.decl = Declarator{};
    state.parens = 0;
    state.brackets = 0;
    state.group = SymbolGroup::None;
}

// struct, union or enum and perhaps a tag, not followed by "{": a type.
void SettleTag(Declarator& decl) {
    if (decl.tag == 0) return;
    decl.tag = 0;
    decl.typeSeen = true;
}

// The declarator ends at terminator: reports its name.
void EndDeclarator(Scan& scan, Byte terminator) {
    SymbolState& state = scan.symbols;
    Declarator& decl = state.decl;
    SettleTag(decl);
    if (decl.haveName && !decl.bad && !decl.inInit && !decl.afterCall) {
        char kind = 0;
        if (decl.isTypedef) {
            kind = SymbolTypedef;
        } else if (state.aggregateCount > 0) {
            // A struct holds no function: "u8 X(a:6, b:2);" is a macro's doing.
            kind = decl.isFunction ? 0 : SymbolMember;
        } else if (decl.isFunction) {
            kind = terminator == '{' ? 0 : SymbolPrototype;
        } else {
            kind = decl.isExtern ? SymbolExtern : SymbolVariable;
        }
        if (kind != 0) Emit(scan, kind, decl.name, decl.isStatic && kind != SymbolTypedef);
    }
    decl.haveName = false;
    decl.isFunction = false;
    decl.idList = false;
    decl.inInit = false;
    decl.afterBrace = false;
    decl.attribute = false;
    decl.last = SymbolLast::Other;
}

void OpenAggregate(Scan& scan) {
    SymbolState& state = scan.symbols;
    Declarator& decl = state.decl;
    char kind = decl.tag;
    if (state.aggregateCount == MaxAggregates) {
        ++state.deeperAggregates;
        return;
    }
    PreciseScope scope{};
    scope.kind = kind;
    scope.parent = CurrentScope(state);
    std::int32_t symbol = -1;
    if (decl.tagNamed) {
        scope.nameOffset = decl.tagName.offset;
        scope.nameLength = decl.tagName.length;
        symbol = Emit(scan, kind, decl.tagName, false);
    } else {
        scope.anonymous = ++scan.anonymous;
    }
    scan.symbolsFound->scopes.push_back(scope);
    Aggregate& aggregate = state.aggregates[state.aggregateCount++];
    aggregate.skipBraces = 0;
    aggregate.skippingBody = false;
    aggregate.outer = decl;
    aggregate.outer.tag = 0;
    aggregate.outer.typeSeen = true;
    aggregate.outer.afterBrace = true;
    aggregate.outer.last = SymbolLast::Other;
    aggregate.scope = static_cast<std::int32_t>(scan.symbolsFound->scopes.size() - 1);
    aggregate.symbol = symbol;
    aggregate.kind = kind == SymbolEnum ? AggregateKind::Enumerators : AggregateKind::Members;
    state.decl = Declarator{};
    state.expectEnumerator = true;
}

void CloseAggregate(Scan& scan, const Byte* closing) {
    SymbolState& state = scan.symbols;
    Aggregate& aggregate = state.aggregates[--state.aggregateCount];
    if (aggregate.symbol >= 0 &&
        static_cast<std::size_t>(aggregate.symbol) < scan.symbolsFound->symbols.size())
        scan.symbolsFound->symbols[static_cast<std::size_t>(aggregate.symbol)].end =
            LineOf(scan, closing);
    state.decl = aggregate.outer;
    state.parens = 0;
    state.brackets = 0;
    state.group = SymbolGroup::None;
    if (aggregate.outer.inBody) {
        state.skipBraces = aggregate.skipBraces;
        state.skippingBody = aggregate.skippingBody;
    }
}

void StartSkip(SymbolState& state, bool body) {
    state.skipBraces = 1;
    state.skippingBody = body;
}

void OpenBraceWhileReading(Scan& scan) {
    SymbolState& state = scan.symbols;
    Declarator& decl = state.decl;
    if (state.parens > 0 || state.brackets > 0) {
        StartSkip(state, false); // a statement expression, a compound literal
        return;
    }
    if (state.aggregateCount > 0 &&
        state.aggregates[state.aggregateCount - 1].kind == AggregateKind::Enumerators) {
        StartSkip(state, false);
        return;
    }
    if (decl.tag != 0 && !decl.oldStyle) {
        OpenAggregate(scan);
        return;
    }
    if (decl.inInit) {
        StartSkip(state, false);
        return;
    }
    if (decl.last == SymbolLast::Linkage && state.aggregateCount == 0) {
        ++state.linkageBlocks;
        ResetDecl(state);
        return;
    }
    // A function's body (or a macro that makes one), or braces of another
    // kind: nothing in them is declared at this level.
    if (decl.isFunction || decl.oldStyle || decl.afterCall) {
        EndDeclarator(scan, '{');
    }
    StartSkip(state, true);
}

void CloseBraceWhileReading(Scan& scan, const Byte* closing) {
    SymbolState& state = scan.symbols;
    if (state.deeperAggregates > 0) {
        --state.deeperAggregates;
        return;
    }
    if (state.aggregateCount > 0) {
        if (state.aggregates[state.aggregateCount - 1].kind == AggregateKind::Members &&
            state.parens == 0)
            EndDeclarator(scan, '}');
        CloseAggregate(scan, closing);
        return;
    }
    if (state.linkageBlocks > 0) --state.linkageBlocks;
    ResetDecl(state);
}

} // namespace

void SymbolWord(Scan& scan, PreciseSpan word, WordClass cls) {
    SymbolState& state = scan.symbols;
    Declarator& decl = state.decl;
    const Byte* at = scan.begin + word.offset;
    const std::size_t length = word.length;
    if (state.aggregateCount > 0 &&
        state.aggregates[state.aggregateCount - 1].kind == AggregateKind::Enumerators) {
        if (state.parens == 0 && state.expectEnumerator) {
            state.expectEnumerator = false;
            if (cls == WordClass::Name) Emit(scan, SymbolEnumerator, word, false);
        }
        return;
    }
    if (state.brackets > 0) return;
    if (state.parens > 0) {
        state.groupStarting = false;
        if (state.group == SymbolGroup::Params && state.parens == 1) {
            if (!state.groupExpectsIdentifier || cls != WordClass::Name) decl.idList = false;
            state.groupExpectsIdentifier = false;
        } else if (state.group == SymbolGroup::Declarator &&
                   state.parens == state.declaratorLevel && !state.groupNameDone &&
                   cls == WordClass::Name) {
            // The last word before the group's "[", "(" or ")":
            // "(*name)", "(CALLCONV *name)".
            decl.name = word;
            decl.haveName = true;
            decl.last = SymbolLast::Name;
        } else if (state.group == SymbolGroup::Declarator &&
                   state.parens == state.declaratorLevel) {
            decl.last = SymbolLast::Other;
        }
        return;
    }
    if (decl.oldStyle || decl.inInit) return;
    if (decl.afterCall) {
        if (decl.isTypedef || decl.isStatic || decl.isExtern) {
            // An attribute-like macro: "typedef __printf(2, 3) void (*f)(...)".
            decl.afterCall = false;
            decl.typeSeen = false;
        } else {
            // "DEFINE_X(a)" with no ";": what follows is a declaration of its own.
            ResetDecl(state);
        }
    }
    switch (cls) {
    case WordClass::Static: decl.isStatic = true; break;
    case WordClass::Extern:
        decl.isExtern = true;
        decl.last = SymbolLast::Extern;
        return;
    case WordClass::Typedef: decl.isTypedef = true; break;
    case WordClass::Qualifier: return;
    case WordClass::Type:
        SettleTag(decl);
        decl.haveName = false; // a word before a type is no name: "API DEPRECATED int f(void)"
        if (decl.last == SymbolLast::Params && decl.idList) {
            decl.oldStyle = true;
            return;
        }
        decl.typeSeen = true;
        break;
    case WordClass::Struct:
    case WordClass::Union:
    case WordClass::Enum:
        decl.haveName = false;
        decl.tag = cls == WordClass::Struct  ? SymbolStruct
                   : cls == WordClass::Union ? SymbolUnion
                                             : SymbolEnum;
        decl.tagNamed = false;
        break;
    case WordClass::Attribute: decl.attribute = true; return;
    case WordClass::Typeof:
        SettleTag(decl);
        decl.typeSeen = true;
        decl.attribute = true;
        decl.last = SymbolLast::Other;
        return;
    case WordClass::Other: decl.bad = true; break;
    case WordClass::Name:
        if (decl.tag != 0 && !decl.tagNamed) {
            decl.tagName = word;
            decl.tagNamed = true;
            decl.last = SymbolLast::Other;
            return;
        }
        SettleTag(decl);
        if (decl.afterBrace && Reserved(at, length)) {
            decl.attribute = true; // "} __packed;", "} __aligned(8);"
            return;
        }
        if (decl.last == SymbolLast::Params) {
            // After a parameter list: old-style parameter declarations, or
            // an attribute-like macro ("f(void) __acquires(x)").
            if (decl.idList) {
                decl.oldStyle = true;
                return;
            }
            decl.attribute = true;
            decl.last = SymbolLast::Other;
            return;
        }
        if (!decl.typeSeen) {
            decl.typeSeen = true;
            decl.last = SymbolLast::TypeWord;
            return;
        }
        if (!decl.haveName) {
            decl.name = word;
            decl.haveName = true;
            decl.last = SymbolLast::Name;
            return;
        }
        if ((decl.last == SymbolLast::Name ||
             Reserved(scan.begin + decl.name.offset, decl.name.length)) &&
            !Reserved(at, length)) {
            // The word before was part of the type: "API Bitmask f(void)",
            // "int __init setup(void)".
            decl.name = word;
            decl.last = SymbolLast::Name;
            decl.attribute = false;
            return;
        }
        decl.attribute = true; // "fops __initdata", "priv ____cacheline_aligned"
        decl.last = SymbolLast::Other;
        return;
    }
    decl.last = SymbolLast::Other;
}

void SymbolOpenParen(Scan& scan) {
    SymbolState& state = scan.symbols;
    Declarator& decl = state.decl;
    if (state.parens > 0) {
        if (state.group == SymbolGroup::Params) {
            decl.idList = false;
        } else if (state.group == SymbolGroup::Declarator &&
                   state.parens == state.declaratorLevel) {
            if (decl.last == SymbolLast::Name) {
                decl.isFunction = state.parens == 1; // "(*name(params))"
                state.groupNameDone = true;
            } else if (!decl.haveName) {
                ++state.declaratorLevel; // "(*(*name)(params))"
            } else {
                state.groupNameDone = true;
            }
        }
        ++state.parens;
        return;
    }
    state.parens = 1;
    state.groupStarting = true;
    state.groupNameDone = false;
    state.declaratorLevel = 1;
    if (decl.oldStyle) {
        // Old-style parameter declarations hold no call: this was none.
        ResetDecl(state);
        state.parens = 1;
    }
    if (decl.attribute) {
        state.group = SymbolGroup::Skip;
        decl.attribute = false;
    } else if (decl.last == SymbolLast::Name &&
               Reserved(scan.begin + decl.name.offset, decl.name.length)) {
        // "void __weak (*hook)(void)": an attribute-like word, then a
        // declarator in parentheses (or that word's argument).
        decl.haveName = false;
        state.group = SymbolGroup::Call;
    } else if (decl.last == SymbolLast::Name) {
        state.group = SymbolGroup::Params;
        decl.isFunction = true;
        decl.idList = true;
        state.groupExpectsIdentifier = true;
    } else if (decl.last == SymbolLast::TypeWord && !decl.haveName) {
        state.group = SymbolGroup::Call;
    } else if (!decl.haveName && decl.typeSeen && decl.tag == 0) {
        state.group = SymbolGroup::Declarator;
    } else {
        state.group = SymbolGroup::Skip;
    }
    SettleTag(decl);
    decl.last = SymbolLast::Other;
}

void SymbolCloseParen(Scan& scan) {
    SymbolState& state = scan.symbols;
    Declarator& decl = state.decl;
    if (state.parens == 0) return;
    if (--state.parens > 0) return;
    SymbolGroup group = state.group;
    state.group = SymbolGroup::None;
    switch (group) {
    case SymbolGroup::Params:
        if (state.groupExpectsIdentifier) decl.idList = false; // "()" or "(a,)"
        decl.last = SymbolLast::Params;
        break;
    case SymbolGroup::Call:
        decl.afterCall = true;
        decl.last = SymbolLast::Other;
        break;
    default: decl.last = SymbolLast::Other; break;
    }
}

// Any other token: c is its first byte.
void SymbolPunctuator(Scan& scan, Byte c) {
    SymbolState& state = scan.symbols;
    Declarator& decl = state.decl;
    if (state.aggregateCount > 0 &&
        state.aggregates[state.aggregateCount - 1].kind == AggregateKind::Enumerators) {
        if (state.parens == 0 && c == ',') state.expectEnumerator = true;
        return;
    }
    if (state.parens > 0) {
        if (state.group == SymbolGroup::Call && state.parens == 1 && state.groupStarting &&
            (c == '*' || c == '^')) {
            state.group = SymbolGroup::Declarator; // "type_t (*name)(...)": a declarator, no call
            decl.typeSeen = true;
        }
        state.groupStarting = false;
        if (state.group == SymbolGroup::Params && state.parens == 1) {
            if (c == ',' && !state.groupExpectsIdentifier) {
                state.groupExpectsIdentifier = true;
            } else {
                decl.idList = false;
            }
        } else if (state.group == SymbolGroup::Declarator &&
                   state.parens == state.declaratorLevel) {
            if (c == '[' && decl.haveName) state.groupNameDone = true;
            decl.last = SymbolLast::Other;
        }
        return;
    }
    if (c == '[') {
        ++state.brackets;
        decl.last = SymbolLast::Other;
        return;
    }
    if (c == ']') {
        if (state.brackets > 0) --state.brackets;
        return;
    }
    if (state.brackets > 0) return;
    if (decl.oldStyle) return;
    SettleTag(decl);
    switch (c) {
    case ';':
        EndDeclarator(scan, ';');
        ResetDecl(state);
        return;
    case ',':
        if (decl.afterCall) {
            decl.afterCall = false;
            decl.haveName = false;
        }
        EndDeclarator(scan, ',');
        return;
    case '=':
        EndDeclarator(scan, '=');
        decl.inInit = true;
        return;
    case ':':
        if (state.aggregateCount > 0 && !decl.inInit) {
            EndDeclarator(scan, ':');
            decl.inInit = true;
        }
        return;
    case '*':
        // A word taken for the name was part of the type: "int __percpu *p".
        if (!decl.inInit && decl.haveName) decl.haveName = false;
        break;
    default: break;
    }
    decl.last = SymbolLast::Other;
}

namespace {

// A "{" in a body at brace: the letter of the struct, union or enum it
// opens ("struct name {", "enum {"), with its tag, or 0.
char AggregateBefore(const Scan& scan, const Byte* brace, PreciseSpan* tag) {
    const Byte* p = brace;
    auto word = [&](const Byte*& q, PreciseSpan* span) {
        while (q > scan.begin && (Classes[q[-1]] & Blank))
            --q;
        const Byte* wordEnd = q;
        while (q > scan.begin && (Classes[q[-1]] & Word))
            --q;
        *span = {static_cast<std::size_t>(q - scan.begin), static_cast<std::size_t>(wordEnd - q)};
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
void OpenAggregateInBody(Scan& scan, char kind, PreciseSpan tag) {
    SymbolState& state = scan.symbols;
    if (state.aggregateCount == MaxAggregates) {
        ++state.skipBraces;
        return;
    }
    Declarator body{};
    body.tag = kind;
    body.tagNamed = tag.length > 0;
    body.tagName = tag;
    body.inBody = true;
    state.decl = body;
    OpenAggregate(scan);
    Aggregate& aggregate = state.aggregates[state.aggregateCount - 1];
    aggregate.skipBraces = state.skipBraces;
    aggregate.skippingBody = state.skippingBody;
    state.skipBraces = 0;
}

// Whether the function's header has "static" among its words.
bool IsStaticFunction(std::string_view text, const PreciseScan& scan,
                      const PreciseFunction& function) {
    for (std::uint32_t i = 0; i < function.headerParts; ++i) {
        std::size_t at = function.headerFirst + i;
        if (at >= scan.header.size()) break;
        const PreciseSpan& part = scan.header[at];
        std::size_t from = part.offset;
        std::size_t to = std::min(part.offset + part.length, function.nameOffset);
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

void SymbolLiteral(Scan& scan, Byte quote) {
    SymbolState& state = scan.symbols;
    if (quote == '"' && state.parens == 0 && state.decl.last == SymbolLast::Extern) {
        state.decl.last = SymbolLast::Linkage;
        return;
    }
    SymbolPunctuator(scan, quote);
}

void SymbolOpenBrace(Scan& scan, const Byte* brace) {
    SymbolState& state = scan.symbols;
    if (state.skipBraces == 0) {
        if (state.deeperAggregates > 0) {
            ++state.deeperAggregates;
        } else {
            OpenBraceWhileReading(scan);
        }
        return;
    }
    PreciseSpan tag{};
    char kind = state.skippingBody ? AggregateBefore(scan, brace, &tag) : 0;
    if (kind != 0) {
        OpenAggregateInBody(scan, kind, tag);
    } else {
        ++state.skipBraces;
    }
}

void SymbolCloseBrace(Scan& scan, const Byte* closing) {
    SymbolState& state = scan.symbols;
    if (state.skipBraces == 0) {
        CloseBraceWhileReading(scan, closing);
    } else if (--state.skipBraces == 0 && state.skippingBody) {
        ResetDecl(state);
    }
}

void SymbolDefinition(Scan& scan, const Byte* name, const Byte* after, const Byte* lineEnd) {
    PreciseSpan span{static_cast<std::size_t>(name - scan.begin),
                     static_cast<std::size_t>(after - name)};
    std::int32_t i = Emit(scan, SymbolMacro, span, false);
    PreciseSymbol& symbol = scan.symbolsFound->symbols[static_cast<std::size_t>(i)];
    symbol.scope = -1;
    const Byte* last = lineEnd > after && lineEnd[-1] == '\n' ? lineEnd - 1 : lineEnd;
    symbol.end = LineOf(scan, last);
}

} // namespace precise_scan

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
    out->scan.functions.clear();
    out->scan.header.clear();
    precise_scan::Scan scan{};
    scan.begin = reinterpret_cast<const clex::Byte*>(text.data());
    scan.end = scan.begin + text.size();
    scan.functionsFound = &out->scan.functions;
    scan.headerParts = &out->scan.header;
    scan.symbolsFound = out;
    precise_scan::ReadText(scan);

    std::size_t others = out->symbols.size();
    for (const PreciseFunction& f : out->scan.functions) {
        PreciseSymbol symbol{};
        symbol.nameOffset = f.nameOffset;
        symbol.nameLength = f.nameLength;
        symbol.line = f.start;
        symbol.end = f.end;
        symbol.scope = -1;
        symbol.kind = SymbolFunction;
        symbol.isStatic = precise_scan::IsStaticFunction(text, out->scan, f);
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
