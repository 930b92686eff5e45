#include "json_text.h"

#include <charconv>

namespace kelpin::cli {

std::size_t Utf8SequenceLength(std::string_view bytes) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = at(0);
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || lead == 0xC0 || lead == 0xC1 || bytes.size() < length)
        return 0;
    // The second byte's range rules out overlong forms, surrogates and code
    // points past U+10FFFF; the rest are plain continuation bytes.
    unsigned char low = 0x80, high = 0xBF;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (at(1) < low || at(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((at(i) & 0xC0) != 0x80) return 0;
    return length;
}

void AppendJsonString(std::string* out, std::string_view bytes, JsonBytes mode) {
    static const char hex[] = "0123456789abcdef";
    out->reserve(out->size() + bytes.size() + 2);
    *out += '"';
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        auto b = static_cast<unsigned char>(c);
        switch (b) {
        case '"': *out += "\\\""; break;
        case '\\': *out += "\\\\"; break;
        case '\b': *out += "\\b"; break;
        case '\f': *out += "\\f"; break;
        case '\n': *out += "\\n"; break;
        case '\r': *out += "\\r"; break;
        case '\t': *out += "\\t"; break;
        default:
            if (b < 0x20) {
                *out += "\\u00";
                *out += hex[b >> 4];
                *out += hex[b & 15];
            } else if (b < 0x80) {
                *out += c;
            } else if (std::size_t length =
                           mode != JsonBytes::Latin1 ? Utf8SequenceLength(bytes.substr(i)) : 0;
                       length != 0) {
                out->append(bytes.data() + i, length);
                i += length - 1;
            } else if (mode == JsonBytes::Utf8Replacing) {
                *out += "\xEF\xBF\xBD";
            } else {
                *out += static_cast<char>(0xC0 | (b >> 6));
                *out += static_cast<char>(0x80 | (b & 0x3F));
            }
        }
    }
    *out += '"';
}

void AppendJsonNumber(std::string* out, std::size_t n) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, n);
    out->append(digits, result.ptr);
}

} // namespace kelpin::cli
