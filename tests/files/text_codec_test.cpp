// Conversions at the file boundaries: no text may change on the way to disk and back.
#include <gtest/gtest.h>

#include "files/text_codec.h"

using namespace qzm;

namespace {

TEST(TextCodecTest, Cp1252RoundTripsEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    std::string back;
    ASSERT_TRUE(Utf8ToCp1252(Cp1252ToUtf8(all), back));
    EXPECT_EQ(back, all);
}

TEST(TextCodecTest, Cp1252MapsTheHighRange) {
    struct Case {
        const char* utf8;
        const char* cp1252;
    };
    const Case cases[] = {
        {"\xE2\x82\xAC", "\x80"},  // euro sign
        {"\xC5\xA0", "\x8A"},      // S with caron
        {"\xC3\xA9", "\xE9"},      // e acute, same as Latin-1
        {"\xC5\xB8", "\x9F"},      // Y with diaeresis
        {"M\xC3\xBCller", "M\xFCller"},
    };
    for (const Case& c : cases) {
        std::string out;
        ASSERT_TRUE(Utf8ToCp1252(c.utf8, out)) << c.utf8;
        EXPECT_EQ(out, c.cp1252);
        EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
    }
}

TEST(TextCodecTest, Cp1252RefusesWhatItCannotHold) {
    std::string out;
    EXPECT_FALSE(Utf8ToCp1252("\xE5\xB1\xB1\xE7\x94\xB0", out));  // CJK
    EXPECT_FALSE(Utf8ToCp1252("\xC4\x80", out));                  // A with macron
    EXPECT_FALSE(Utf8ToCp1252("\xFF", out));                      // not UTF-8 at all
    EXPECT_EQ(Utf8ToCp1252Lossy("a\xE5\xB1\xB1z"), "a?z");
}

TEST(TextCodecTest, Utf16RoundTripsIncludingSurrogatePairs) {
    const std::string text = "A\xC3\xA9\xE5\xB1\xB1\xF0\x9F\x98\x80z";  // A, e acute, CJK, emoji, z
    const std::string bytes = Utf8ToUtf16LeBytes(text);
    EXPECT_EQ(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("A\0", 2));
    EXPECT_EQ(Utf16LeBytesToUtf8(bytes), text);
}

TEST(TextCodecTest, MalformedInputBecomesReplacementCharacter) {
    // Unpaired high surrogate, then 'x'.
    EXPECT_EQ(Utf16LeBytesToUtf8(std::string("\x00\xD8x\x00", 4)), "\xEF\xBF\xBDx");
    // Overlong encoding of '/', an encoded surrogate and a truncated sequence.
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(IsValidUtf8("ab\xE5\xB1"));
    EXPECT_TRUE(IsValidUtf8("ab\xE5\xB1\xB1"));
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xE5\xB1")), "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextCodecTest, Utf16LengthAndTruncateNeverSplitAPair) {
    const std::string emoji = "\xF0\x9F\x98\x80";
    EXPECT_EQ(Utf16Length("abc"), 3u);
    EXPECT_EQ(Utf16Length("a" + emoji), 3u);
    EXPECT_EQ(Utf16Truncate("a" + emoji + "b", 2), "a");  // the pair does not fit in one unit
    EXPECT_EQ(Utf16Truncate("a" + emoji + "b", 3), "a" + emoji);
    EXPECT_EQ(Utf16Truncate("\xC3\xA9\xC3\xA9", 1), "\xC3\xA9");
    EXPECT_EQ(Utf16Truncate("abc", 10), "abc");
}

}  // namespace
