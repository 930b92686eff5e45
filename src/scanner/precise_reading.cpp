// The reading of the text for both readers of declarations.
//
// The text is read once, front to back, in two modes. Where both readers
// pass over braces (a function body, an initialiser) only braces, comments,
// literals and directives matter, and the reading runs over everything else.
// Where either reads tokens, every token is read and handed to whichever
// reads it; braces and directives go to both, wherever they stand. Both modes
// stop at the same braces, comments, literals and directives, so each reader
// sees what it would see reading the text alone.
//
// Lines are counted only when a reader needs one: the line feeds between the
// last counted place and the one asked for, forward or back.
#include <algorithm>

#include "scanner/precise_scan.h"

namespace kelpin {

namespace precise_scan {

namespace {

using namespace clex;

// The loops are made twice: with the symbol reader, and without it for the
// function list alone, which then pays nothing for it.
template <bool WithSymbols> bool EitherReadsTokens(const Scan& scan) {
    return FunctionsReadTokens(scan) || (WithSymbols && SymbolsReadTokens(scan));
}

// A brace, wherever it stands, goes to both readers.
template <bool WithSymbols> void Brace(Scan& scan, const Byte* brace) {
    if (*brace == '{') {
        FunctionOpenBrace(scan);
        if (WithSymbols) SymbolOpenBrace(scan, brace);
    } else {
        FunctionCloseBrace(scan, brace);
        if (WithSymbols) SymbolCloseBrace(scan, brace);
    }
}

// Where both readers pass over braces, until either reads tokens again or
// the text ends.
template <bool WithSymbols> const Byte* PassOverBraces(Scan& scan, const Byte* p) {
    const Byte* end = scan.end;
    while (!EitherReadsTokens<WithSymbols>(scan)) {
        p = SkipTo(p, end, BodyStop);
        if (p == end) return end;
        Byte c = *p++;
        switch (c) {
        case '{':
        case '}': Brace<WithSymbols>(scan, p - 1); break;
        case '/':
            if (const Byte* next = AfterCommentOpening(p, end)) p = next;
            break;
        case '#': p = ReadDirectiveAt(scan, p); break;
        default: p = SkipLiteral(p, end, c); break;
        }
    }
    return p;
}

// Token by token, while either reader reads tokens. The symbol reader takes
// none inside struct braces nested too deep to follow, but their braces.
template <bool WithSymbols> const Byte* ReadTokens(Scan& scan, const Byte* p) {
    const Byte* end = scan.end;
    while (p < end && EitherReadsTokens<WithSymbols>(scan)) {
        const bool functions = FunctionsReadTokens(scan);
        const bool symbols =
            WithSymbols && SymbolsReadTokens(scan) && scan.symbols.deeperAggregates == 0;
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
            if (!functions && !symbols) continue;
            auto length = static_cast<std::size_t>(p - word);
            PreciseSpan span{static_cast<std::size_t>(word - scan.begin), length};
            WordKinds kinds = KindsOf(word, length);
            if (functions) FunctionWord(scan, span, kinds.function);
            if (symbols) SymbolWord(scan, span, kinds.symbol);
            continue;
        }
        const std::size_t token = static_cast<std::size_t>(p - scan.begin);
        ++p;
        switch (c) {
        case '#': p = ReadDirectiveAt(scan, p); continue;
        case '{':
        case '}': Brace<WithSymbols>(scan, p - 1); continue;
        case '"':
        case '\'':
            p = SkipLiteral(p, end, c);
            if (functions) FunctionLiteral(scan, c, token);
            if (symbols) SymbolLiteral(scan, c);
            continue;
        case '/':
            if (const Byte* next = AfterCommentOpening(p, end)) {
                p = next;
                continue;
            }
            break;
        case '\\':
            if (const Byte* next = AfterSplice(p, end)) {
                p = next;
                continue;
            }
            break;
        default: break;
        }
        if (cls & Digit) {
            // A number: its letters, digits and dots are one token.
            while (p < end && ((Classes[*p] & Word) || *p == '.'))
                ++p;
            c = '0';
        }
        if (functions) {
            switch (c) {
            case '(': FunctionOpenParen(scan, token); break;
            case ')': FunctionCloseParen(scan, p); break;
            case ';': FunctionSemicolon(scan); break;
            default: FunctionPunctuator(scan, c, token); break;
            }
        }
        if (symbols) {
            switch (c) {
            case '(': SymbolOpenParen(scan); break;
            case ')': SymbolCloseParen(scan); break;
            default: SymbolPunctuator(scan, c); break;
            }
        }
    }
    return p;
}

template <bool WithSymbols> void ReadAll(Scan& scan) {
    const Byte* p = scan.begin;
    while (p < scan.end)
        p = EitherReadsTokens<WithSymbols>(scan) ? ReadTokens<WithSymbols>(scan, p)
                                                 : PassOverBraces<WithSymbols>(scan, p);
}

} // namespace

std::int32_t LineOf(Scan& scan, const Byte* at) {
    if (at >= scan.counted) {
        scan.countedLines += CountLineFeeds(scan.counted, at);
    } else {
        scan.countedLines -= CountLineFeeds(at, scan.counted);
    }
    scan.counted = at;
    return scan.countedLines + 1;
}

void ReadText(Scan& scan) {
    scan.counted = scan.begin;
    if (scan.symbolsFound != nullptr) {
        ReadAll<true>(scan);
    } else {
        ReadAll<false>(scan);
    }
    EndOpenChains(scan);
    // A header left pending by a chain's first branch opens its body after
    // the functions of the later branches: back into text order.
    auto byName = [](const PreciseFunction& a, const PreciseFunction& b) {
        return a.nameOffset < b.nameOffset;
    };
    std::vector<PreciseFunction>& functions = *scan.functionsFound;
    if (!std::is_sorted(functions.begin(), functions.end(), byName))
        std::stable_sort(functions.begin(), functions.end(), byName);
}

} // namespace precise_scan

void ScanPrecise(std::string_view text, PreciseScan* found) {
    found->functions.clear();
    found->header.clear();
    precise_scan::Scan scan{};
    scan.begin = reinterpret_cast<const clex::Byte*>(text.data());
    scan.end = scan.begin + text.size();
    scan.functionsFound = &found->functions;
    scan.headerParts = &found->header;
    scan.symbolsFound = nullptr;
    precise_scan::ReadText(scan);
}

std::string PreciseDeclaration(std::string_view text, const PreciseScan& scan,
                               const PreciseFunction& f) {
    using namespace clex;
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
