// The marks that carry text outside the code page through the registrar (marked_text.h).
#include "marked_text.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const CodePageText& kText = CodePageText::Western();

// The registry text of `wide` with its units marked.
std::string Marked(const std::u16string& wide) {
    std::string narrow;
    EXPECT_TRUE(kText.FromUtf16(MarkText(wide, kText), &narrow));
    return narrow;
}

// Every UTF-16 unit comes back from registry text as itself: the code page's own as they are,
// the others from their marks, which the registry compares as it compares the units themselves.
TEST(MarkedText, EveryUnitComesBackAndComparesAsItself) {
    size_t marks = 0;
    for (char32_t c = 6; c <= 0xFFFF; ++c) {
        const std::u16string unit(1, static_cast<char16_t>(c));
        const std::string narrow = Marked(unit);
        std::u16string back;
        ASSERT_TRUE(ToUnmarkedUtf16(narrow, kText, &back));
        ASSERT_EQ(back, unit) << std::hex << static_cast<unsigned>(c);
        std::string lacking;
        ASSERT_EQ(narrow.size(), kText.CarriesExactly(unit, &lacking) ? 1u : 6u) << std::hex << c;
        marks += narrow.size() == 6;
        const std::string folded = Marked(std::u16string(1, FoldLetter(unit[0])));
        ASSERT_EQ(kText.FoldCase(narrow.data(), narrow.size()),
                  kText.FoldCase(folded.data(), folded.size()))
            << std::hex << static_cast<unsigned>(c);
    }
    EXPECT_EQ(marks, 0x10000u - 256);  // every unit but the 256 of code page 1252
    // Letters of other case in several scripts name the same key; other letters do not.
    const std::string upper = Marked(u"\u041F\u0391\uFF21");  // П Α Ａ
    const std::string lower = Marked(u"\u043F\u03B1\uFF41");  // п α ａ
    EXPECT_EQ(kText.FoldCase(upper.data(), upper.size()),
              kText.FoldCase(lower.data(), lower.size()));
    const std::string other = Marked(u"\u043F\u03B1\uFF42");
    EXPECT_NE(kText.FoldCase(other.data(), other.size()),
              kText.FoldCase(lower.data(), lower.size()));
    // A pair of surrogates is two marks, and the text around them stays as it is.
    std::u16string back;
    ASSERT_TRUE(ToUnmarkedUtf16(Marked(u"a\U0001F600b"), kText, &back));
    EXPECT_EQ(back, u"a\U0001F600b");
}

// Text with a control character of the marks cannot be marked: it would come back as another.
TEST(MarkedText, RefusesTheControlCharactersOfTheMarks) {
    std::string why;
    EXPECT_TRUE(CanMark(u"\u0006\u041F", &why));
    for (char16_t c = 1; c <= 5; ++c) {
        EXPECT_FALSE(CanMark(std::u16string(u"a") + c, &why));
        EXPECT_EQ(why, "holds the control character 0x0" + std::to_string(c) +
                           ", which twrgs uses to mark text");
    }
}

}  // namespace
}  // namespace tw::test
