#include "text.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kelpin::lsp {

namespace {

// The byte length of the character starting at text[i] and its UTF-16 width.
// A byte that starts no valid UTF-8 sequence is one character of width one.
void CharacterAt(std::string_view text, std::size_t i, std::size_t* length, std::size_t* units) {
    auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    *length = 1;
    *units = 1;
    if (n <= 1 || i + n > text.size()) return;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return;
    *length = n;
    *units = n == 4 ? 2 : 1;
}

// Where a line's text ends: before its "\n" or "\r\n", or at the text's end.
std::size_t LineEnd(std::string_view text, const LineIndex& lines, std::size_t line) {
    if (line + 1 >= lines.starts.size()) return text.size();
    std::size_t end = lines.starts[line + 1] - 1;
    if (end > lines.starts[line] && text[end - 1] == '\r') --end;
    return end;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

LineIndex IndexLines(std::string_view text) {
    LineIndex lines;
    lines.starts.push_back(0);
    const char* begin = text.data();
    const char* p = begin;
    const char* end = begin + text.size();
    while (p < end) {
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (nl == nullptr) break;
        p = static_cast<const char*>(nl) + 1;
        lines.starts.push_back(static_cast<std::size_t>(p - begin));
    }
    return lines;
}

std::size_t Units(std::string_view bytes, Encoding encoding) {
    if (encoding == Encoding::Utf8) return bytes.size();
    std::size_t units = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++units;
            ++i;
            continue;
        }
        std::size_t length, width;
        CharacterAt(bytes, i, &length, &width);
        units += width;
        i += length;
    }
    return units;
}

std::size_t OffsetOf(std::string_view text, const LineIndex& lines, Position position,
                     Encoding encoding) {
    if (position.line < 0) return 0;
    if (static_cast<std::uint64_t>(position.line) >= lines.starts.size()) return text.size();
    auto line = static_cast<std::size_t>(position.line);
    std::size_t at = lines.starts[line];
    std::size_t end = LineEnd(text, lines, line);
    std::uint64_t wanted =
        position.character < 0 ? 0 : static_cast<std::uint64_t>(position.character);
    if (encoding == Encoding::Utf8)
        return at + static_cast<std::size_t>(std::min<std::uint64_t>(wanted, end - at));
    std::uint64_t units = 0;
    while (at < end && units < wanted) {
        std::size_t length, width;
        CharacterAt(text, at, &length, &width);
        if (at + length > end || units + width > wanted) break;
        units += width;
        at += length;
    }
    return at;
}

Position PositionOf(std::string_view text, const LineIndex& lines, std::size_t offset,
                    Encoding encoding) {
    offset = std::min(offset, text.size());
    auto it = std::upper_bound(lines.starts.begin(), lines.starts.end(), offset);
    auto line = static_cast<std::size_t>(it - lines.starts.begin()) - 1;
    std::size_t start = lines.starts[line];
    return {static_cast<std::int64_t>(line),
            static_cast<std::int64_t>(Units(text.substr(start, offset - start), encoding))};
}

void ApplyEdit(Document* d, Position start, Position end, std::string_view replacement,
               Encoding encoding) {
    std::size_t a = OffsetOf(d->text, d->lines, start, encoding);
    std::size_t b = OffsetOf(d->text, d->lines, end, encoding);
    if (b < a) std::swap(a, b);
    d->text.replace(a, b - a, replacement);
    // Line starts inside the replaced bytes go; those after it move; the
    // replacement's own come in between.
    std::vector<std::size_t>& starts = d->lines.starts;
    auto first = std::upper_bound(starts.begin(), starts.end(), a);
    auto last = std::upper_bound(first, starts.end(), b);
    std::vector<std::size_t> added;
    for (std::size_t k = 0; k < replacement.size(); ++k)
        if (replacement[k] == '\n') added.push_back(a + k + 1);
    std::ptrdiff_t delta =
        static_cast<std::ptrdiff_t>(replacement.size()) - static_cast<std::ptrdiff_t>(b - a);
    for (auto it = last; it != starts.end(); ++it)
        *it = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(*it) + delta);
    auto at = starts.erase(first, last);
    starts.insert(at, added.begin(), added.end());
}

void ReplaceText(Document* document, std::string text) {
    document->text = std::move(text);
    document->lines = IndexLines(document->text);
}

bool IsIdentifierByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string_view WordAt(std::string_view text, std::size_t offset, std::size_t* begin) {
    offset = std::min(offset, text.size());
    std::size_t a = offset, b = offset;
    while (a > 0 && IsIdentifierByte(static_cast<unsigned char>(text[a - 1])))
        --a;
    while (b < text.size() && IsIdentifierByte(static_cast<unsigned char>(text[b])))
        ++b;
    *begin = a;
    if (a == b || (text[a] >= '0' && text[a] <= '9')) return {};
    return text.substr(a, b - a);
}

std::string PathOfUri(std::string_view uri) {
    constexpr std::string_view scheme = "file://";
    if (uri.size() < scheme.size()) return {};
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(uri[i]))) != scheme[i])
            return {};
    uri.remove_prefix(scheme.size());
    // An authority: none, or localhost.
    std::size_t slash = uri.find('/');
    if (slash == std::string_view::npos) return {};
    std::string_view host = uri.substr(0, slash);
    if (!host.empty() && host != "localhost") return {};
    uri.remove_prefix(slash);
    std::size_t cut = uri.find_first_of("?#");
    uri = uri.substr(0, cut);
    std::string path;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size()) {
            int hi = HexValue(uri[i + 1]), lo = HexValue(uri[i + 2]);
            if (hi >= 0 && lo >= 0) {
                path += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        path += uri[i];
    }
    // A NUL byte names no file.
    if (path.find('\0') != std::string::npos) return {};
    return path;
}

std::string UriOfPath(std::string_view path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (char ch : path) {
        auto c = static_cast<unsigned char>(ch);
        if (IsIdentifierByte(c) || c == '/' || c == '-' || c == '.' || c == '~') {
            uri += ch;
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

} // namespace kelpin::lsp
