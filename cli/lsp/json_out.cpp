#include "json_out.h"

#include <charconv>

namespace kelpin::lsp {

namespace {

// The length of the valid UTF-8 sequence at text[i] (RFC 3629: no overlong
// forms, no surrogates, nothing past U+10FFFF), or 0.
std::size_t ValidSequence(std::string_view text, std::size_t i) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    unsigned char c = at(0);
    std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                    : c >= 0xE0 && c <= 0xEF ? 3
                    : c >= 0xF0 && c <= 0xF4 ? 4
                                             : 0;
    if (n == 0 || i + n > text.size()) return 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
    if (at(1) < low || at(1) > high) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((at(k) & 0xC0) != 0x80) return 0;
    return n;
}

} // namespace

void AppendJsonUtf8(std::string* out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    out->push_back('"');
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            std::size_t n = ValidSequence(text, i);
            if (n == 0) {
                out->append("\xEF\xBF\xBD");
                ++i;
            } else {
                out->append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        switch (c) {
        case '"': out->append("\\\""); break;
        case '\\': out->append("\\\\"); break;
        case '\n': out->append("\\n"); break;
        case '\r': out->append("\\r"); break;
        case '\t': out->append("\\t"); break;
        default:
            if (c < 0x20) {
                out->append("\\u00");
                out->push_back(hex[c >> 4]);
                out->push_back(hex[c & 15]);
            } else {
                out->push_back(static_cast<char>(c));
            }
        }
        ++i;
    }
    out->push_back('"');
}

void AppendJsonNumber(std::string* out, std::size_t n) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, n);
    out->append(digits, result.ptr);
}

} // namespace kelpin::lsp
