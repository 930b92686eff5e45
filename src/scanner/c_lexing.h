// Reading C text as a preprocessor sees it: classes of bytes, comments,
// literals, line splices, directive lines and the groups a conditional
// leaves out. Shared by the scanners that read whole files in one pass.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kelpin::clex {

using Byte = unsigned char;

// ---- Bytes ------------------------------------------------------------------

enum : Byte {
    Blank = 1,       // space, tab, CR, VT, FF, LF
    Word = 2,        // letters, digits, "_", "$" and every byte from 0x80
    Digit = 4,       // 0 to 9
    BodyStop = 8,    // { } " ' / #: what matters inside braces
    LineStop = 16,   // LF / " ' \: what matters on a line being skipped
    StringStop = 32, // LF \ and the double quote
    CharStop = 64,   // LF \ and the single quote
    // What the add-in's scanner looks at one byte at a time while it collects
    // a declaration: blanks, "/", ";", braces, quotes, "#" and parentheses.
    HeaderStop = 128,
};

// The bytes of BodyStop as a string, for a library span search over text
// that ends at a zero byte.
inline constexpr char BodyStopBytes[] = "{}\"'/#";

inline constexpr std::array<Byte, 256> MakeClasses() {
    std::array<Byte, 256> classes{};
    for (Byte c : {' ', '\t', '\r', '\v', '\f', '\n'})
        classes[c] |= Blank;
    for (int c = 0; c < 256; ++c)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '$' || c >= 0x80)
            classes[c] |= Word;
    for (int c = '0'; c <= '9'; ++c)
        classes[c] |= Digit;
    for (const char* c = BodyStopBytes; *c != '\0'; ++c)
        classes[static_cast<Byte>(*c)] |= BodyStop;
    for (Byte c : {'\n', '/', '"', '\'', '\\'})
        classes[c] |= LineStop;
    for (Byte c : {'\n', '\\', '"'})
        classes[c] |= StringStop;
    for (Byte c : {'\n', '\\', '\''})
        classes[c] |= CharStop;
    for (Byte c : {'\r', '\n', '\t', ' ', '/', ';', '{', '}', '"', '\'', '#', '(', ')'})
        classes[c] |= HeaderStop;
    return classes;
}
inline constexpr std::array<Byte, 256> Classes = MakeClasses();

// The first byte at or after p in one of the classes of stops, or end.
inline const Byte* SkipTo(const Byte* p, const Byte* end, Byte stops) {
    while (end - p >= 8) {
        if (Classes[p[0]] & stops) return p;
        if (Classes[p[1]] & stops) return p + 1;
        if (Classes[p[2]] & stops) return p + 2;
        if (Classes[p[3]] & stops) return p + 3;
        if (Classes[p[4]] & stops) return p + 4;
        if (Classes[p[5]] & stops) return p + 5;
        if (Classes[p[6]] & stops) return p + 6;
        if (Classes[p[7]] & stops) return p + 7;
        p += 8;
    }
    while (p < end && !(Classes[*p] & stops))
        ++p;
    return p;
}

// p stands just after a backslash: the position after the line feed it
// continues (carriage returns between them allowed), or null when it
// continues none.
inline const Byte* AfterSplice(const Byte* p, const Byte* end) {
    while (p < end && *p == '\r')
        ++p;
    return p < end && *p == '\n' ? p + 1 : nullptr;
}

// After "/*": just past the "*/" that closes it, or end. The "*" of the
// opening pair does not count, so "/*/" is not a whole comment.
inline const Byte* SkipBlockComment(const Byte* p, const Byte* end) {
    const Byte* from = p + 1;
    for (;;) {
        if (from >= end) return end;
        auto* slash = static_cast<const Byte*>(std::memchr(from, '/', end - from));
        if (slash == nullptr) return end;
        if (slash[-1] == '*') return slash + 1;
        from = slash + 1;
    }
}

// After "//": the line feed that ends it (one a backslash does not continue),
// or end.
inline const Byte* SkipLineComment(const Byte* p, const Byte* end) {
    for (;;) {
        auto* feed = static_cast<const Byte*>(std::memchr(p, '\n', end - p));
        if (feed == nullptr) return end;
        const Byte* q = feed;
        while (q > p && q[-1] == '\r')
            --q;
        if (q == p || q[-1] != '\\') return feed;
        p = feed + 1;
    }
}

// p stands just after a "/": past the comment it opens with the byte at p,
// or null when it opens none.
inline const Byte* AfterCommentOpening(const Byte* p, const Byte* end) {
    if (p < end && *p == '*') return SkipBlockComment(p + 1, end);
    if (p < end && *p == '/') return SkipLineComment(p + 1, end);
    return nullptr;
}

// After an opening quote: just past the same quote standing unescaped, or the
// line feed that ends the line unclosed (not consumed), or end.
inline const Byte* SkipLiteral(const Byte* p, const Byte* end, Byte quote) {
    const Byte stops = quote == '"' ? StringStop : CharStop;
    for (;;) {
        p = SkipTo(p, end, stops);
        if (p == end) return end;
        if (*p == quote) return p + 1;
        if (*p == '\n') return p;
        // A backslash: the character after it is taken, a spliced line
        // feed included.
        ++p;
        if (const Byte* next = AfterSplice(p, end)) {
            p = next;
        } else if (p < end) {
            ++p;
        }
    }
}

// The rest of a line: just past the line feed that ends it, over splices,
// comments (a block comment may span lines) and literals, or end. Directive
// lines and lines of skipped groups are read this way.
inline const Byte* SkipLine(const Byte* p, const Byte* end) {
    for (;;) {
        p = SkipTo(p, end, LineStop);
        if (p == end) return end;
        Byte c = *p++;
        switch (c) {
        case '\n': return p;
        case '\\':
            if (const Byte* next = AfterSplice(p, end)) p = next;
            break;
        case '/':
            if (const Byte* next = AfterCommentOpening(p, end)) p = next;
            break;
        default: p = SkipLiteral(p, end, c); break;
        }
    }
}

// Blanks, block comments and line splices from p: the first byte that is
// none of them, or end. A line feed is a blank only when lineFeeds says so.
inline const Byte* SkipBlanks(const Byte* p, const Byte* end, bool lineFeeds) {
    for (;;) {
        while (p < end && (Classes[*p] & Blank) && (lineFeeds || *p != '\n'))
            ++p;
        if (end - p >= 2 && p[0] == '/' && p[1] == '*') {
            p = SkipBlockComment(p + 2, end);
        } else if (p < end && *p == '\\' && AfterSplice(p + 1, end)) {
            p = AfterSplice(p + 1, end);
        } else {
            return p;
        }
    }
}

// Blanks inside a directive line: spaces, tabs, comments and splices, but not
// the line feed that ends it.
inline const Byte* SkipDirectiveBlanks(const Byte* p, const Byte* end) {
    return SkipBlanks(p, end, false);
}

// ---- Directives -------------------------------------------------------------

enum class Directive : Byte { Other, If, IfDef, Elif, ElifDef, Else, Endif };

// After "#": the directive's kind; *p is left after its name.
inline Directive ReadDirective(const Byte*& p, const Byte* end) {
    p = SkipDirectiveBlanks(p, end);
    const Byte* name = p;
    while (p < end && *p >= 'a' && *p <= 'z')
        ++p;
    if (p < end && (Classes[*p] & Word)) return Directive::Other;
    std::string_view word(reinterpret_cast<const char*>(name), static_cast<std::size_t>(p - name));
    if (word == "if") return Directive::If;
    if (word == "ifdef" || word == "ifndef") return Directive::IfDef;
    if (word == "elif") return Directive::Elif;
    if (word == "elifdef" || word == "elifndef") return Directive::ElifDef;
    if (word == "else") return Directive::Else;
    if (word == "endif") return Directive::Endif;
    return Directive::Other;
}

// After "#if" or "#elif": whether the condition is the literal 0, perhaps in
// parentheses. Reads ahead only; the caller skips the line.
inline bool IsZeroCondition(const Byte* p, const Byte* end) {
    int open = 0;
    p = SkipDirectiveBlanks(p, end);
    while (p < end && *p == '(') {
        ++open;
        p = SkipDirectiveBlanks(p + 1, end);
    }
    if (p == end || *p != '0') return false;
    ++p;
    if (p < end && (Classes[*p] & Word)) return false;
    for (p = SkipDirectiveBlanks(p, end); open > 0 && p < end && *p == ')'; --open)
        p = SkipDirectiveBlanks(p + 1, end);
    if (open != 0) return false;
    if (end - p >= 2 && p[0] == '/' && p[1] == '/') return true;
    return p == end || *p == '\n';
}

// A group that is not scanned, from the start of a line: the directive that
// ends it (#elif, #else or #endif of its own chain), with the position just
// past that directive's line and, for #elif, whether its condition is 0.
// Directive::Other when the text ends first.
inline Directive SkipGroup(const Byte*& p, const Byte* end, bool* zero) {
    int nesting = 0;
    while (p < end) {
        // At the start of a line: blanks and comments may stand before "#".
        p = SkipBlanks(p, end, true);
        if (p == end) break;
        if (*p != '#') {
            p = SkipLine(p, end);
            continue;
        }
        ++p;
        Directive d = ReadDirective(p, end);
        if (d == Directive::If || d == Directive::IfDef) {
            ++nesting;
        } else if (nesting > 0) {
            if (d == Directive::Endif) --nesting;
        } else if (d == Directive::Elif || d == Directive::ElifDef || d == Directive::Else ||
                   d == Directive::Endif) {
            *zero = d == Directive::Elif && IsZeroCondition(p, end);
            p = SkipLine(p, end);
            return d;
        }
        p = SkipLine(p, end);
    }
    return Directive::Other;
}

// The line feeds in [p, end). Counted in blocks of 255 into a byte, which
// compilers turn into wide compares.
inline std::int32_t CountLineFeeds(const Byte* p, const Byte* end) {
    std::int32_t total = 0;
    while (end - p >= 255) {
        Byte block = 0;
        for (int i = 0; i < 255; ++i)
            block = static_cast<Byte>(block + (p[i] == '\n'));
        total += block;
        p += 255;
    }
    for (; p < end; ++p)
        total += *p == '\n';
    return total;
}

} // namespace kelpin::clex
