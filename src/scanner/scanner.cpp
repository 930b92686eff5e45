// The function scanner.
//
// The scanner reads the text once, front to back, and acts on a window of two
// characters: the one being examined and the one before it. Carriage returns
// are dropped as if they were not there, so the character after one sees the
// character before it as its predecessor.
//
// Most of a C file is function bodies, comments and literals, where nearly
// every byte is of no interest: inside them the scanner jumps over runs of
// bytes that the current mode ignores (a class table tells which), and only
// the bytes that can change something are looked at one by one. A
// predecessor is needed only for "/", "*", "\" and a blank, and only at a few
// places; there it is read from the text just passed, stepping over carriage
// returns, which gives the same answer as keeping it byte by byte. The
// position itself never goes back.
#include "scanner/scanner.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kelpin {

namespace {

using Byte = unsigned char;

enum : std::int32_t { DeclarationBufferSize = 4096 };

// Byte classes. Each mode stops at the classes in its mask and runs over
// everything else.
enum : Byte {
    LineFeed = 1,
    Slash = 2,     // may open a comment
    BodyEvent = 4, // ";" "{" "}" "#" and both quotes: act inside a body
    DoubleQuote = 8,
    SingleQuote = 16,
    Backslash = 32,
};

enum : Byte {
    BodyStops = LineFeed | Slash | BodyEvent,
    DirectiveStops = LineFeed | Slash,
    StringStops = LineFeed | Backslash | DoubleQuote,
    CharStops = LineFeed | Backslash | SingleQuote,
};

constexpr std::array<Byte, 256> MakeClasses() {
    std::array<Byte, 256> classes{};
    classes['\n'] = LineFeed;
    classes['/'] = Slash;
    classes[';'] = classes['{'] = classes['}'] = classes['#'] = BodyEvent;
    classes['"'] = BodyEvent | DoubleQuote;
    classes['\''] = BodyEvent | SingleQuote;
    classes['\\'] = Backslash;
    return classes;
}
constexpr std::array<Byte, 256> Classes = MakeClasses();

// The first byte at or after p in one of the classes of stops, or end.
// Unrolled by four: this loop is where the time goes.
inline const Byte* SkipOrdinary(const Byte* p, const Byte* end, Byte stops) {
    while (end - p >= 4) {
        if (Classes[p[0]] & stops) return p;
        if (Classes[p[1]] & stops) return p + 1;
        if (Classes[p[2]] & stops) return p + 2;
        if (Classes[p[3]] & stops) return p + 3;
        p += 4;
    }
    while (p < end && !(Classes[*p] & stops))
        ++p;
    return p;
}

// The first byte at or after p that is not a carriage return, or end.
inline const Byte* SkipCarriageReturns(const Byte* p, const Byte* end) {
    while (p < end && *p == '\r')
        ++p;
    return p;
}

// The character read before the one at p: the last byte before p that is not
// a carriage return, looking no further back than floor; none when only
// carriage returns stand between floor and p.
inline Byte CharBefore(const Byte* p, const Byte* floor, Byte none) {
    while (p > floor) {
        --p;
        if (*p != '\r') return *p;
    }
    return none;
}

struct Scan {
    const Byte* p;
    const Byte* end;
    std::int32_t lineCount;
    std::int32_t braceDepth;
    bool inBody;
    Byte previousChar; // kept byte by byte only while collecting
    char* declaration;
    std::int32_t declarationLength;
    bool hasOpenParen;
    bool hasCloseParen;
};

void ClearDeclaration(Scan& s) {
    s.declarationLength = 0;
    s.declaration[0] = '\0';
    s.hasOpenParen = s.hasCloseParen = false;
}

// Stores c unless the buffer is full: a longer declaration keeps its first
// 4095 characters and the scan goes on.
inline void AppendToDeclaration(Scan& s, Byte c) {
    if (s.declarationLength + 1 >= DeclarationBufferSize) return;
    s.declaration[s.declarationLength++] = static_cast<char>(c);
    s.declaration[s.declarationLength] = '\0';
    s.hasOpenParen |= c == '(';
    s.hasCloseParen |= c == ')';
}

// Each skip starts just after the character that opened its construct and
// returns false when the text ends inside it.

// Up to and including a line feed that no backslash continues.
bool SkipLineComment(Scan& s) {
    const Byte* inside = s.p;
    for (;;) {
        auto* feed = static_cast<const Byte*>(std::memchr(s.p, '\n', s.end - s.p));
        if (feed == nullptr) {
            s.p = s.end;
            return false;
        }
        ++s.lineCount;
        s.p = feed + 1;
        if (CharBefore(feed, inside, '/') != '\\') return true;
    }
}

// Up to and including a "/" after a "*" read inside the comment: the "*" of
// the opening pair does not count, so "/*/" is not a whole comment.
bool SkipBlockComment(Scan& s) {
    const Byte* inside = s.p;
    for (;;) {
        auto* slash = static_cast<const Byte*>(std::memchr(s.p, '/', s.end - s.p));
        const Byte* stop = slash != nullptr ? slash : s.end;
        s.lineCount += static_cast<std::int32_t>(std::count(s.p, stop, '\n'));
        if (slash == nullptr) {
            s.p = s.end;
            return false;
        }
        s.p = slash + 1;
        if (CharBefore(slash, inside, '\0') == '*') return true;
    }
}

// Up to and including the same quote standing unescaped. A backslash escapes
// the one character after it, a line feed included.
bool SkipLiteral(Scan& s, Byte quote) {
    const Byte stops = quote == '"' ? StringStops : CharStops;
    for (;;) {
        s.p = SkipOrdinary(s.p, s.end, stops);
        if (s.p == s.end) return false;
        Byte c = *s.p++;
        if (c == quote) return true;
        if (c == '\n') {
            ++s.lineCount;
        } else { // a backslash
            s.p = SkipCarriageReturns(s.p, s.end);
            if (s.p == s.end) return false;
            if (*s.p++ == '\n') ++s.lineCount;
        }
    }
}

// After a "/": opens a comment when the next character is "/" or "*", and
// skips it. The result says whether a comment was met; *ended is set when the
// text ended inside it.
bool SkipCommentAfterSlash(Scan& s, Byte* lastChar, bool* ended) {
    const Byte* next = SkipCarriageReturns(s.p, s.end);
    if (next == s.end || (*next != '/' && *next != '*')) return false;
    s.p = next + 1;
    if (*next == '/') {
        *ended = !SkipLineComment(s);
        *lastChar = '\n';
    } else {
        *ended = !SkipBlockComment(s);
        // The character after a block comment pairs with neither its "/"
        // nor a "*".
        *lastChar = '\0';
    }
    return true;
}

// A preprocessor line: to its line feed, over every line continued with a
// backslash, or to the end of a comment inside it, whichever comes first.
// Quotes, braces and ";" in it mean nothing. *lastChar is the character it
// ended on.
bool SkipDirective(Scan& s, Byte* lastChar) {
    const Byte* inside = s.p;
    for (;;) {
        s.p = SkipOrdinary(s.p, s.end, DirectiveStops);
        if (s.p == s.end) return false;
        const Byte* at = s.p++;
        if (*at == '\n') {
            ++s.lineCount;
            if (CharBefore(at, inside, '#') != '\\') {
                *lastChar = '\n';
                return true;
            }
        } else {
            bool ended = false;
            if (SkipCommentAfterSlash(s, lastChar, &ended)) return !ended;
        }
    }
}

} // namespace

int ScanFunctions(const char* text, FunctionBeginHandler beginHandler,
                  FunctionEndHandler endHandler, void* context) {
    char declaration[DeclarationBufferSize] = {};
    Scan s{};
    s.p = reinterpret_cast<const Byte*>(text);
    s.end = s.p + std::strlen(text);
    s.declaration = declaration;
    s.previousChar = ' ';

    for (;;) {
        // Collecting: every character counts, one at a time.
        while (!s.inBody) {
            if (s.p == s.end) return 0;
            Byte c = *s.p++;
            switch (c) {
            case '\r': continue; // not there at all: previousChar stays
            case '\n': ++s.lineCount; break;
            case '/': {
                bool ended = false;
                if (SkipCommentAfterSlash(s, &c, &ended) && ended) return 0;
                break; // a lone "/" is never collected
            }
            case ';': ClearDeclaration(s); break;
            case '{':
                ++s.braceDepth;
                if (s.hasOpenParen && s.hasCloseParen) {
                    beginHandler(s.lineCount, declaration, context);
                    s.inBody = true;
                }
                // Every begin call hands over one function's own declaration.
                ClearDeclaration(s);
                break;
            case '}': --s.braceDepth; break;
            case '"':
            case '\'':
                if (!SkipLiteral(s, c)) return 0;
                break;
            case '#':
                if (!SkipDirective(s, &c)) return 0;
                break;
            case '\t': c = ' '; [[fallthrough]];
            case ' ':
                if (s.previousChar != ' ' && s.declarationLength > 0) AppendToDeclaration(s, c);
                break;
            default: AppendToDeclaration(s, c); break;
            }
            s.previousChar = c;
        }

        // In a body: only line feeds, braces, ";", comments, literals and
        // directives matter.
        while (s.inBody) {
            s.p = SkipOrdinary(s.p, s.end, BodyStops);
            if (s.p == s.end) return 0;
            Byte c = *s.p++;
            switch (c) {
            case '\n': ++s.lineCount; break;
            case '/': {
                Byte ignored;
                bool ended = false;
                if (SkipCommentAfterSlash(s, &ignored, &ended) && ended) return 0;
                break;
            }
            case ';': ClearDeclaration(s); break;
            case '{': ++s.braceDepth; break;
            case '}':
                if (--s.braceDepth == 0) {
                    s.inBody = false;
                    s.previousChar = '}';
                    if (endHandler != nullptr && endHandler(s.lineCount + 1, context) == 0)
                        return 0;
                }
                break;
            case '"':
            case '\'':
                if (!SkipLiteral(s, c)) return 0;
                break;
            case '#': {
                Byte ignored;
                if (!SkipDirective(s, &ignored)) return 0;
                break;
            }
            }
        }
    }
}

} // namespace kelpin
