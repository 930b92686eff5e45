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
//
// Every line feed counts, wherever it stands (code, comment, literal or
// directive), so the line count at any point is the number of line feeds
// before it. It is needed only when a handler is called, and is brought up
// to date then, counting the line feeds passed since the last call.
#include "scanner/scanner.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "scanner/c_lexing.h"

namespace kelpin {

namespace {

using Byte = unsigned char;

enum : std::int32_t { DeclarationBufferSize = 4096 };

// The shared byte classes tell each mode where to stop: a directive at line
// feeds and "/" (quotes and backslashes in it are passed over), a literal at
// its quote and backslashes (a line feed in it is passed over), collecting at
// the bytes that have a part of their own. Line feeds are counted only when
// a handler needs them.
using clex::CharStop;
using clex::HeaderStop;
using clex::LineStop;
using clex::SkipTo;
using clex::StringStop;

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
    std::int32_t lineCount; // line feeds before counted
    const Byte* counted;
    std::int32_t braceDepth;
    bool inBody;
    Byte previousChar; // kept byte by byte only while collecting
    char* declaration;
    std::int32_t declarationLength;
    bool hasOpenParen;
    bool hasCloseParen;
};

// The line feeds before the byte at.
std::int32_t LineCountAt(Scan& scan, const Byte* at) {
    scan.lineCount += clex::CountLineFeeds(scan.counted, at);
    scan.counted = at;
    return scan.lineCount;
}

void ClearDeclaration(Scan& scan) {
    scan.declarationLength = 0;
    scan.declaration[0] = '\0';
    scan.hasOpenParen = scan.hasCloseParen = false;
}

// Stores c unless the buffer is full: a longer declaration keeps its first
// 4095 characters and the scan goes on.
inline void AppendToDeclaration(Scan& scan, Byte c) {
    if (scan.declarationLength + 1 >= DeclarationBufferSize) return;
    scan.declaration[scan.declarationLength++] = static_cast<char>(c);
    scan.declaration[scan.declarationLength] = '\0';
    scan.hasOpenParen |= c == '(';
    scan.hasCloseParen |= c == ')';
}

// Appends the characters of [from, to), none of them special while
// collecting but the first, as far as the buffer takes them.
inline void AppendRun(Scan& scan, const Byte* from, const Byte* to) {
    auto n = std::min<std::int32_t>(static_cast<std::int32_t>(to - from),
                                    DeclarationBufferSize - 1 - scan.declarationLength);
    if (n <= 0) return;
    std::memcpy(scan.declaration + scan.declarationLength, from, static_cast<std::size_t>(n));
    scan.declarationLength += n;
    scan.declaration[scan.declarationLength] = '\0';
    scan.hasOpenParen |= *from == '(';
    scan.hasCloseParen |= *from == ')';
}

// Each skip starts just after the character that opened its construct and
// returns false when the text ends inside it.

// Up to and including the first target byte that ends the construct: the
// character before it, read within the construct (none before its first
// byte), is mark when endsOnMark, or is not mark otherwise.
bool SkipPast(Scan& scan, Byte target, Byte none, Byte mark, bool endsOnMark) {
    const Byte* inside = scan.p;
    for (;;) {
        auto* at = static_cast<const Byte*>(std::memchr(scan.p, target, scan.end - scan.p));
        if (at == nullptr) {
            scan.p = scan.end;
            return false;
        }
        scan.p = at + 1;
        if ((CharBefore(at, inside, none) == mark) == endsOnMark) return true;
    }
}

// Up to and including a line feed that no backslash continues.
bool SkipLineComment(Scan& scan) {
    return SkipPast(scan, '\n', '/', '\\', false);
}

// Up to and including a "/" after a "*" read inside the comment: the "*" of
// the opening pair does not count, so "/*/" is not a whole comment.
bool SkipBlockComment(Scan& scan) {
    return SkipPast(scan, '/', '\0', '*', true);
}

// Up to and including the same quote standing unescaped. A backslash escapes
// the one character after it, a line feed included.
bool SkipLiteral(Scan& scan, Byte quote) {
    const Byte stops = quote == '"' ? StringStop : CharStop;
    for (;;) {
        scan.p = SkipTo(scan.p, scan.end, stops);
        if (scan.p == scan.end) return false;
        Byte c = *scan.p++;
        if (c == quote) return true;
        if (c == '\n') continue; // a line feed does not end a literal here
        // A backslash: the next character is taken whatever it is.
        scan.p = SkipCarriageReturns(scan.p, scan.end);
        if (scan.p == scan.end) return false;
        ++scan.p;
    }
}

// After a "/": opens a comment when the next character is "/" or "*", and
// skips it. The result says whether a comment was met; *ended is set when the
// text ended inside it.
bool SkipCommentAfterSlash(Scan& scan, Byte* lastChar, bool* ended) {
    const Byte* next = SkipCarriageReturns(scan.p, scan.end);
    if (next == scan.end || (*next != '/' && *next != '*')) return false;
    scan.p = next + 1;
    if (*next == '/') {
        *ended = !SkipLineComment(scan);
        *lastChar = '\n';
    } else {
        *ended = !SkipBlockComment(scan);
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
bool SkipDirective(Scan& scan, Byte* lastChar) {
    const Byte* inside = scan.p;
    for (;;) {
        scan.p = SkipTo(scan.p, scan.end, LineStop);
        if (scan.p == scan.end) return false;
        const Byte* at = scan.p++;
        if (*at == '\n') {
            if (CharBefore(at, inside, '#') != '\\') {
                *lastChar = '\n';
                return true;
            }
        } else if (*at == '/') {
            bool ended = false;
            if (SkipCommentAfterSlash(scan, lastChar, &ended)) return !ended;
        }
    }
}

} // namespace

int ScanFunctions(const char* text, FunctionBeginHandler beginHandler,
                  FunctionEndHandler endHandler, void* context) {
    char declaration[DeclarationBufferSize] = {};
    Scan scan{};
    scan.p = reinterpret_cast<const Byte*>(text);
    scan.end = scan.p + std::strlen(text);
    scan.counted = scan.p;
    scan.declaration = declaration;
    scan.previousChar = ' ';

    for (;;) {
        // Collecting: every character counts; those with a part of their own
        // one at a time, the others in runs.
        while (!scan.inBody) {
            if (scan.p == scan.end) return 0;
            Byte c = *scan.p++;
            switch (c) {
            case '\r': continue; // not there at all: previousChar stays
            case '\n': break;    // counted when a handler needs it
            case '/': {
                bool ended = false;
                if (SkipCommentAfterSlash(scan, &c, &ended) && ended) return 0;
                break; // a lone "/" is never collected
            }
            case ';': ClearDeclaration(scan); break;
            case '{':
                ++scan.braceDepth;
                if (scan.hasOpenParen && scan.hasCloseParen) {
                    beginHandler(LineCountAt(scan, scan.p - 1), declaration, context);
                    scan.inBody = true;
                }
                // Every begin call hands over one function's own declaration.
                ClearDeclaration(scan);
                break;
            case '}': --scan.braceDepth; break;
            case '"':
            case '\'':
                if (!SkipLiteral(scan, c)) return 0;
                break;
            case '#':
                if (!SkipDirective(scan, &c)) return 0;
                break;
            case '\t':
            case ' ':
                // A tab counts as a blank, and a blank after a blank is
                // dropped, so a run of them gives at most its first.
                c = ' ';
                if (scan.previousChar != ' ' && scan.declarationLength > 0)
                    AppendToDeclaration(scan, c);
                while (scan.p != scan.end && (*scan.p == ' ' || *scan.p == '\t' || *scan.p == '\r'))
                    ++scan.p;
                break;
            default: {
                // A run of characters stored as they are.
                const Byte* run = scan.p - 1;
                scan.p = SkipTo(scan.p, scan.end, HeaderStop);
                AppendRun(scan, run, scan.p);
                c = scan.p[-1];
                break;
            }
            }
            scan.previousChar = c;
        }

        // In a body: only braces, comments, literals and directives matter.
        // The declaration buffer is empty there (it is emptied after each
        // begin call and nothing is collected in a body), so ";" changes
        // nothing.
        while (scan.inBody) {
            // The text ends at its first zero byte, where the span search
            // stops too; the library's search is the fastest here.
            scan.p += std::strcspn(reinterpret_cast<const char*>(scan.p), clex::BodyStopBytes);
            if (scan.p == scan.end) return 0;
            Byte c = *scan.p++;
            switch (c) {
            case '/': {
                Byte ignored;
                bool ended = false;
                if (SkipCommentAfterSlash(scan, &ignored, &ended) && ended) return 0;
                break;
            }
            case '{': ++scan.braceDepth; break;
            case '}':
                if (--scan.braceDepth == 0) {
                    scan.inBody = false;
                    scan.previousChar = '}';
                    if (endHandler != nullptr &&
                        endHandler(LineCountAt(scan, scan.p - 1) + 1, context) == 0)
                        return 0;
                }
                break;
            case '"':
            case '\'':
                if (!SkipLiteral(scan, c)) return 0;
                break;
            case '#': {
                Byte ignored;
                if (!SkipDirective(scan, &ignored)) return 0;
                break;
            }
            }
        }
    }
}

} // namespace kelpin
