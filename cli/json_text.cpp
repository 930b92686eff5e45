#include "json_text.h"

namespace kelpin::cli {

void AppendJsonString(std::string* out, std::string_view bytes) {
    static const char hex[] = "0123456789abcdef";
    out->reserve(out->size() + bytes.size() + 2);
    *out += '"';
    for (char c : bytes) {
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
            } else {
                *out += static_cast<char>(0xC0 | (b >> 6));
                *out += static_cast<char>(0x80 | (b & 0x3F));
            }
        }
    }
    *out += '"';
}

} // namespace kelpin::cli
