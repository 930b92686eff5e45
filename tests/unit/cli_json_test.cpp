// The CLI's JSON strings are exactly what the JSON library writes for the
// same Latin-1 characters, for any bytes.
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

std::string Json(std::string_view bytes) {
    std::string out;
    AppendJsonString(&out, bytes);
    return out;
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

} // namespace
} // namespace kelpin::cli
