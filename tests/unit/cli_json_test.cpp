// The CLI's JSON strings are exactly what the JSON library writes for the
// same characters, for any bytes: UTF-8 where it is valid (each byte of an
// invalid sequence one Latin-1 character), or every byte one Latin-1
// character as the add-in reads text.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "json_text.h"

namespace kelpin::cli {
namespace {

std::string Latin1AsUtf8(std::string_view bytes) {
    std::string utf8;
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (b >> 6));
            utf8 += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return utf8;
}

std::string Json(std::string_view bytes, JsonBytes mode = JsonBytes::Latin1) {
    std::string out;
    AppendJsonString(&out, bytes, mode);
    return out;
}

// The characters a reader should get in Utf8 mode, decoded the long way: by
// the code point's value, not by byte ranges.
std::string Utf8OrLatin1(std::string_view bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        std::size_t length = b >= 0xF8 ? 0 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        std::uint32_t cp = length == 4 ? (b & 7u) : length == 3 ? (b & 15u) : (b & 31u);
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = cp << 6 | (next & 0x3Fu);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && cp >= least[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (b < 0x80 || !valid) {
            text += Latin1AsUtf8(bytes.substr(i, 1));
            ++i;
        } else {
            text += bytes.substr(i, length);
            i += length;
        }
    }
    return text;
}

TEST(JsonText, EveryByteAsTheLibraryWritesIt) {
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Json(one), nlohmann::json(Latin1AsUtf8(one)).dump()) << "byte " << b;
    }
}

TEST(JsonText, RandomTextsReadBackAsTheirBytes) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        std::string text = Json(bytes);
        ASSERT_EQ(text, nlohmann::json(Latin1AsUtf8(bytes)).dump());
        EXPECT_EQ(nlohmann::json::parse(text).get<std::string>(), Latin1AsUtf8(bytes));
    }
}

TEST(JsonText, Utf8WhereValidEachOtherByteAsLatin1) {
    EXPECT_EQ(Json("J\xc3\xbcrgen", JsonBytes::Utf8), "\"J\xc3\xbcrgen\"");
    EXPECT_EQ(Json("J\xfcrgen", JsonBytes::Utf8), "\"J\xc3\xbcrgen\"");
    // Random texts, mostly pieces of valid and broken sequences.
    const unsigned char pieces[] = {0x80, 0xBF, 0xC2, 0xC0, 0xDF, 0xE0, 0xA0, 0xED, 0x9F, 0xEF,
                                    0xF0, 0x90, 0xF4, 0x8F, 0xF5, 0xFF, 'a',  '"',  0};
    std::mt19937 random(11);
    for (int round = 0; round < 5000; ++round) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 4 == 0 ? random() % 256
                                                    : pieces[random() % std::size(pieces)]);
        std::string text = Json(bytes, JsonBytes::Utf8);
        ASSERT_EQ(text, nlohmann::json(Utf8OrLatin1(bytes)).dump());
        EXPECT_EQ(nlohmann::json::parse(text).get<std::string>(), Utf8OrLatin1(bytes));
    }
}

} // namespace
} // namespace kelpin::cli
