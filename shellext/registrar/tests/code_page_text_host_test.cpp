#include "code_page_text.h"

#include <gtest/gtest.h>

#include "text_cases.h"

namespace tw::test {
namespace {

std::string InCodePage(const std::string& utf8, const CodePageText& text) {
    std::u16string wide;
    std::string narrow;
    EXPECT_TRUE(Utf8ToUtf16(utf8, &wide));
    EXPECT_TRUE(text.FromUtf16(wide, &narrow));
    return narrow;
}

TEST(CodePageText, ParsesNumbersAsThePlatformDoes) {
    for (const NumberCase& c : NumberCases()) {
        SCOPED_TRACE(Utf16ToUtf8(c.text));
        uint32_t value = 0xDEADBEEF;
        const HRESULT result = CodePageText::Western().ParseUI4(c.text, &value);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(value, SUCCEEDED(c.result) ? c.value : 0xDEADBEEF);
    }
}

// The interpreter's comparison of names, stepping characters with the stand-in.
TEST(CodePageText, NamesCompareWithAsciiLettersWithoutRegardToCase) {
    for (const CompareCase& c : CompareCases()) {
        SCOPED_TRACE(c.a + " / " + c.b);
        const CodePageText& text =
            c.codePage == 932 ? CodePageText::Japanese() : CodePageText::Western();
        EXPECT_EQ(text.EqualNoCase(InCodePage(c.a, text).c_str(), InCodePage(c.b, text).c_str()),
                  c.equal);
    }
}

TEST(CodePageText, StepsDoubleByteCharactersWhole) {
    const CodePageText& japanese = CodePageText::Japanese();
    const CodePageText& western = CodePageText::Western();
    struct Step {
        const char* text;
        int japaneseStep;
        int westernStep;
    };
    const Step steps[] = {
        {"\x83\x5C"
         "x",
         2, 1},  // a trail byte 0x5C is not a backslash
        {"\x83\x27"
         "x",
         2, 1},            // nor 0x27 a quote
        {"\x83 x", 2, 1},  // the byte after a lead byte goes with it, even a space
        {"\x83", 1, 1},    // a lead byte before the terminating NUL stands alone
        {"\xA1"
         "x",
         1, 1},  // half-width katakana are single bytes
        {"\xFD"
         "x",
         1, 1},
        {"ax", 1, 1},
        {"", 0, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.text);
        EXPECT_EQ(japanese.NextChar(s.text) - s.text, s.japaneseStep);
        EXPECT_EQ(western.NextChar(s.text) - s.text, s.westernStep);
    }
    for (int byte = 0; byte < 256; ++byte) {
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        EXPECT_EQ(japanese.IsLeadByte(static_cast<unsigned char>(byte)), lead) << byte;
        EXPECT_FALSE(western.IsLeadByte(static_cast<unsigned char>(byte))) << byte;
    }
}

TEST(CodePageText, ConvertsBothWays) {
    struct Conversion {
        unsigned codePage;
        std::string bytes;
        std::u16string text;
    };
    const Conversion conversions[] = {
        {1252, "\x80\x81\x83\x9F\xA0\xFF", u"\u20AC\u0081\u0192\u0178\u00A0\u00FF"},
        {932,
         "\x83\x5C\x95\x5C\x82\x60\xB1"
         "a",
         u"\u30BD\u8868\uFF21\uFF71a"},
        {932, "\x84\x46\x84\x76", u"\u0401\u0451"},
        {1252, "", u""},
    };
    for (const Conversion& c : conversions) {
        const CodePageText text(c.codePage);
        std::u16string wide;
        std::string narrow;
        EXPECT_TRUE(text.ToUtf16(c.bytes, &wide));
        EXPECT_EQ(wide, c.text);
        EXPECT_TRUE(text.FromUtf16(c.text, &narrow));
        EXPECT_EQ(narrow, c.bytes);
    }
    // What the code page lacks becomes '?', or in 1252 its best fit where it has one: then the
    // text does not convert back to what it was.
    const std::pair<std::u16string, std::string> lacking[] = {
        {u"a\u30BDb", "a?b"},           {u"\u0100\u0142\u0110\u0132", "Al\xD0?"},
        {u"\uFF32\uFF45\uFF50", "Rep"}, {u"\u041E\u0442\u0447\u0435\u0442", "?????"},
        {u"\U0001F4F7", "??"},
    };
    for (const auto& [wide, bytes] : lacking) {
        std::string narrow;
        EXPECT_TRUE(CodePageText::Western().FromUtf16(wide, &narrow));
        EXPECT_EQ(narrow, bytes);
    }
}

// Exactly or not at all: the first character that does not convert back to itself is named.
TEST(CodePageText, TellsWhetherItCarriesTextExactly) {
    struct Case {
        unsigned codePage;
        std::u16string text;
        const char* lacking;  // null: carried exactly
    };
    const Case cases[] = {
        {1252, u"C:\\Caf\u00E9 \u20AC\\x.dll", nullptr},
        {1252, u"", nullptr},
        {1252, u"C:\\\u041F\u0440\\x.dll", "\"\xD0\x9F\" (U+041F)"},
        {1252, u"C:\\\u0100bc", "\"\xC4\x80\" (U+0100)"},          // best fit 'A'
        {1252, u"\uFF21", "\"\xEF\xBC\xA1\" (U+FF21)"},            // best fit 'A'
        {1252, u"x\U0001F600", "\"\xF0\x9F\x98\x80\" (U+1F600)"},  // a surrogate pair, whole
        {932, u"\u041F\u30BD\uFF71", nullptr},
        {932, u"\u00E9", "\"\xC3\xA9\" (U+00E9)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.text));
        std::string lacking = "unchanged";
        EXPECT_EQ(CodePageText(c.codePage).CarriesExactly(c.text, &lacking), c.lacking == nullptr);
        EXPECT_EQ(lacking, c.lacking != nullptr ? c.lacking : "unchanged");
    }
}

TEST(CodePageText, ConvertsUtf8) {
    std::u16string wide;
    ASSERT_TRUE(Utf8ToUtf16("a\xC3\xA9\xE3\x82\xBD\xF0\x9F\x98\x80", &wide));
    EXPECT_EQ(wide, u"a\u00E9\u30BD\U0001F600");
    EXPECT_EQ(Utf16ToUtf8(wide), "a\xC3\xA9\xE3\x82\xBD\xF0\x9F\x98\x80");
    for (const char* bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF5\x80\x80\x80", "\x80"}) {
        EXPECT_FALSE(Utf8ToUtf16(bad, &wide)) << bad;
    }
}

}  // namespace
}  // namespace tw::test
