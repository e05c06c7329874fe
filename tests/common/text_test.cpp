// Text helpers: UTF-8 both ways with broken input and embedded NULs, trimming, hex.
#include <gtest/gtest.h>

#include "common/text.h"

namespace morvane {
namespace {

TEST(Text, Utf8BothWays) {
    EXPECT_EQ(WideToUtf8(L"秒"), "\xE7\xA7\x92");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD")
        << "an unpaired surrogate becomes U+FFFD";
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb") << "invalid bytes become U+FFFD";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(L"山田 太郎 | 株式会社")), L"山田 太郎 | 株式会社");
    // WideToUtf8 stops at an embedded NUL; WholeUtf8 keeps every one as a zero byte.
    EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(WholeUtf8(std::wstring(L"a\0秒\0", 4)), std::string("a\0\xE7\xA7\x92\0", 6));
}

TEST(Text, TrimAndHex) {
    EXPECT_EQ(TrimAscii("  Samsung \t\r\n"), "Samsung");
    EXPECT_EQ(TrimAscii(std::string_view("\0 W D \0", 7)), "W D");
    const std::uint8_t bytes[] = {0x00, 0x9F, 0xA0, 0xFF};
    EXPECT_EQ(HexUpper(bytes), L"009FA0FF");
}

}  // namespace
}  // namespace morvane
