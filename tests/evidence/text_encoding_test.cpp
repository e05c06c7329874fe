// UTF-8 conversions: byte counts, replacement of broken input, embedded NULs.
#include <gtest/gtest.h>

#include "evidence/text_encoding.h"

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

}  // namespace
}  // namespace morvane
