// Text helpers: UTF-8 byte counts, replacement of broken input, embedded NULs; trimming,
// the ANSI code page and hexadecimal digits.
#include <gtest/gtest.h>

#include "common/text.h"

namespace morvane {
namespace {

TEST(TextEncoding, WideToUtf8) {
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(WideToUtf8(L"ZOLT-1"), "ZOLT-1");
    EXPECT_EQ(WideToUtf8(L"消去証明").size(), 12u) << "three bytes per common CJK character";
    EXPECT_EQ(WideToUtf8(L"秒"), "\xE7\xA7\x92");
    EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab") << "an embedded NUL ends the text";
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD")
        << "an unpaired surrogate becomes U+FFFD";
    EXPECT_EQ(WideToUtf8(L"\U0001F600").size(), 4u);
}

TEST(TextEncoding, Utf8ToWide) {
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(Utf8ToWide("\xE6\xB6\x88\xE5\x8E\xBB"), L"消去");
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb") << "invalid bytes become U+FFFD";
    EXPECT_EQ(Utf8ToWide(std::string_view("xy\0z", 4)), L"xy");
    EXPECT_EQ(Utf8ToWide(WideToUtf8(L"山田 太郎 | 株式会社")), L"山田 太郎 | 株式会社");
}

TEST(TextHelpers, TrimAsciiAndAnsiToWide) {
    EXPECT_EQ(TrimAscii("  Samsung \t\r\n"), "Samsung");
    EXPECT_EQ(TrimAscii(std::string_view("\0 WD \0", 6)), "WD");
    EXPECT_EQ(TrimAscii("a b"), "a b");
    EXPECT_EQ(TrimAscii("   "), "");
    EXPECT_EQ(TrimAscii(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(AnsiToWide("ST2000DM008-2FR102"), L"ST2000DM008-2FR102");
    EXPECT_EQ(WholeUtf8(std::wstring(L"a\0秒", 3)), std::string("a\0\xE7\xA7\x92", 5));
    const std::uint8_t bytes[] = {0x00, 0x9F, 0xA0, 0xFF};
    EXPECT_EQ(HexUpper(bytes), L"009FA0FF");
}

}  // namespace
}  // namespace morvane
