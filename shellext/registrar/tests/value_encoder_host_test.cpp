// The value encoder by table: what a type letter names, and the bytes and size of each kind of
// value token.
#include "value_encoder.h"

#include <gtest/gtest.h>

#include "code_page_text.h"

namespace tw::test {
namespace {

TEST(ValueTypeOfLetter, KnowsTheFourLettersWithoutRegardToCase) {
    const std::pair<const char*, DWORD> known[] = {
        {"s", REG_SZ},    {"S", REG_SZ},    {"m", REG_MULTI_SZ}, {"M", REG_MULTI_SZ},
        {"d", REG_DWORD}, {"D", REG_DWORD}, {"b", REG_BINARY},   {"B", REG_BINARY},
    };
    for (const auto& [letter, type] : known) {
        DWORD found = REG_NONE;
        EXPECT_TRUE(ValueTypeOfLetter(letter, CodePageText::Western(), &found)) << letter;
        EXPECT_EQ(found, type) << letter;
    }
    for (const char* unknown : {"q", "e", "SS", "", "sz", "'"}) {
        DWORD found = REG_NONE;
        EXPECT_FALSE(ValueTypeOfLetter(unknown, CodePageText::Western(), &found)) << unknown;
    }
}

TEST(EncodeValue, GivesTheBytesAndSizeOfEachKindOfValue) {
    struct Case {
        DWORD type;
        std::string token;
        const CodePageText& text;
        HRESULT result;
        std::string bytes;  // when the result is S_OK
        DWORD size;
    };
    const CodePageText& western = CodePageText::Western();
    const CodePageText& japanese = CodePageText::Japanese();
    const Case cases[] = {
        {REG_SZ, "Apartment", western, S_OK, std::string("Apartment\0", 10), 10},
        {REG_SZ, "", western, S_OK, std::string("\0", 1), 1},
        {REG_MULTI_SZ, "a\\0b", western, S_OK, std::string("a\0b\0\0", 5), 5},
        // The first empty string ends the value; the rest is made but not counted.
        {REG_MULTI_SZ, "a\\0\\0b", western, S_OK, std::string("a\0\0b\0\0", 6), 3},
        {REG_MULTI_SZ, "", western, S_OK, std::string("\0\0", 2), 1},
        {REG_MULTI_SZ, "a\\1", western, S_OK, std::string("a\\1\0\0", 5), 5},
        // A trail byte 0x5C of a double-byte character is not a backslash.
        {REG_MULTI_SZ,
         "\x83\x5C"
         "0",
         japanese, S_OK,
         std::string("\x83\x5C"
                     "0\0\0",
                     5),
         5},
        {REG_MULTI_SZ,
         "\x83\x5C"
         "0",
         western, S_OK, std::string("\x83\0\0\0", 4), 3},
        {REG_DWORD, "3", western, S_OK, std::string("\3\0\0\0", 4), 4},
        {REG_DWORD, "&H10", western, S_OK, std::string("\x10\0\0\0", 4), 4},
        {REG_DWORD, "4294967295", western, S_OK, std::string("\xFF\xFF\xFF\xFF", 4), 4},
        {REG_DWORD, "x", western, DISP_E_TYPEMISMATCH, "", 0},
        {REG_DWORD, "4294967296", western, DISP_E_OVERFLOW, "", 0},
        {REG_BINARY, "0aFf", western, S_OK, std::string("\x0A\xFF", 2), 2},
        {REG_BINARY, "zz", western, S_OK, std::string("\0", 1), 1},
        {REG_BINARY, "", western, S_OK, "", 0},
        {REG_BINARY, "abc", western, E_FAIL, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " '" + c.token + "'");
        std::string bytes;
        DWORD size = 0xDEAD;
        EXPECT_EQ(EncodeValue(c.type, c.token, c.text, &bytes, &size), c.result);
        if (SUCCEEDED(c.result)) {
            EXPECT_EQ(bytes, c.bytes);
            EXPECT_EQ(size, c.size);
        }
    }
}

}  // namespace
}  // namespace tw::test
