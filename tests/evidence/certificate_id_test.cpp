// Certificate IDs, timestamps, and the elapsed-time text.
#include <gtest/gtest.h>

#include "common/win32.h"
#include "evidence/certificate_id.h"

namespace morvane {
namespace {

TEST(CertificateId, FormatsAreZeroPadded) {
    const struct {
        CalendarTime time;
        std::array<std::uint8_t, 4> random;
        const wchar_t* id;
        const wchar_t* timestamp;
    } cases[] = {
        {{2025, 3, 7, 9, 5, 2}, {0x0A, 0xB0, 0x00, 0xFF}, L"ZOLT-20250307-090502-0AB000FF",
         L"2025-03-07 09:05:02"},
        {{2024, 12, 31, 23, 59, 59}, {0, 0, 0, 0}, L"ZOLT-20241231-235959-00000000",
         L"2024-12-31 23:59:59"},
        {{987, 1, 1, 0, 0, 0}, {1, 2, 3, 4}, L"ZOLT-09870101-000000-01020304", L"0987-01-01 00:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatCertificateId(c.time, c.random), c.id);
        EXPECT_EQ(FormatTimestamp(c.time), c.timestamp);
    }
}

bool IsUpperHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
}

TEST(CertificateId, NewIdsHaveTheFixedShapeAndDifferInTheRandomPart) {
    std::wstring first, second;
    // Retry across a second boundary so both IDs come from the same second.
    for (int attempt = 0; attempt < 5; ++attempt) {
        first = MakeCertificateId();
        second = MakeCertificateId();
        if (first.substr(0, 20) == second.substr(0, 20)) break;
    }
    for (const std::wstring& id : {first, second}) {
        ASSERT_EQ(id.size(), 29u) << ::testing::PrintToString(id);
        for (std::size_t i = 21; i < 29; ++i) EXPECT_TRUE(IsUpperHex(id[i])) << i;
    }
    EXPECT_EQ(first.substr(0, 21), second.substr(0, 21));
    // Four random bytes: equal parts happen once in 2^32, and all-zero means the generator failed.
    EXPECT_NE(first.substr(21), second.substr(21));
    EXPECT_NE(first.substr(21), L"00000000");
}

TEST(CertificateId, TimestampAndIdUseLocalTime) {
    SYSTEMTIME before{}, after{};
    ::GetLocalTime(&before);
    const std::wstring stamp = LocalTimestamp();
    const std::wstring id = MakeCertificateId();
    ::GetLocalTime(&after);
    const auto format = [](const SYSTEMTIME& t) {
        return FormatTimestamp({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond});
    };
    ASSERT_EQ(stamp.size(), 19u);
    EXPECT_TRUE(stamp == format(before) || stamp == format(after)) << ::testing::PrintToString(stamp);
    // The ID's date and time are the timestamp's digits without separators.
    const auto idPart = [](const SYSTEMTIME& t) {
        return FormatCertificateId({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}, {}).substr(0, 21);
    };
    EXPECT_TRUE(id.substr(0, 21) == idPart(before) || id.substr(0, 21) == idPart(after))
        << ::testing::PrintToString(id);
}

TEST(CertificateId, ElapsedText) {
    const struct {
        double seconds;
        const wchar_t* text;
    } cases[] = {
        {0.0, L"0.00 秒"},
        {12.3456, L"12.35 秒"},
        {753.456789, L"753.46 秒"},
        {599.0, L"599.00 秒"},
        {1234567.891, L"1234567.89 秒"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatElapsed(c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace morvane
