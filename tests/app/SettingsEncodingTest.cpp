// Text encoding helpers used by the settings file and the tags of logged
// chip music.
#include <gtest/gtest.h>

#include "app/TextEncoding.h"

namespace {

TEST(TextEncoding, RecognisesWellFormedUtf8Only)
{
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("\xE3\x83\x86\xF0\x9F\x8E\xB5"));
    // CP932 lead byte, overlong '/', surrogate, cut short, above U+10FFFF.
    for (const char* bad : {"\x83\x65", "\xC0\xAF", "\xED\xA0\x80", "\xE3\x83", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(TextEncoding, ConvertsCp932AndUtf16KeepingWholeCharacters)
{
    const std::string cp932 = "Slot \x83\x65\x83\x58\x83\x67 \x8A\xBF\x8E\x9A \xB1";  // テスト 漢字 ｱ
    const std::string utf8 = "Slot \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 \xE6\xBC\xA2\xE5\xAD\x97 \xEF\xBD\xB1";
    EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
    EXPECT_EQ(Utf8ToCp932(utf8), cp932);
    EXPECT_EQ(DecodeUtf8OrCp932(cp932), utf8);
    EXPECT_EQ(DecodeUtf8OrCp932(utf8), utf8);
    // Damaged input is marked, not dropped or crashed on.
    EXPECT_EQ(Cp932ToUtf8("a\x83"), "a\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x8E\xB5" "b"), "a?b");
    EXPECT_EQ(Utf8ToUtf16("A\xE3\x83\x86\xF0\x9F\x8E\xB5"), (std::u16string{u'A', 0x30C6, 0xD83C, 0xDFB5}));
    EXPECT_EQ(Utf8ToUtf16("\xFF"), std::u16string(1, 0xFFFD));
    EXPECT_EQ(TruncateUtf8("\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", 2), "\xE3\x83\x86\xE3\x82\xB9");
    EXPECT_EQ(TruncateUtf8("abc", 10), "abc");
}

}  // namespace
