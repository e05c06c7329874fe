// Names, descriptions and pass plans of the eight standards.
#include <gtest/gtest.h>

#include <cwchar>

#include "erase/standards.h"

namespace morvane {
namespace {

TEST(Standards, NamesAndOutOfRange) {
    EXPECT_EQ(StandardName(NistPurge), L"NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)");
    EXPECT_EQ(StandardName(Gutmann35), L"Peter Gutmann Method (35 Passes - 最高機密HDD完全消去)");
    EXPECT_EQ(StandardName(8), L"Unknown Standard");
    EXPECT_EQ(StandardDescription(8), L"");
    EXPECT_TRUE(BuildPassPlan(8).empty());
    EXPECT_TRUE(BuildPassPlan(0xFFFFFFFFu).empty());
    for (std::uint32_t s = 0; s < kStandardCount; ++s) {
        EXPECT_NE(StandardName(s), L"Unknown Standard") << s;
        EXPECT_FALSE(StandardDescription(s).empty()) << s;
    }
}

TEST(Standards, EveryPlanIsNumberedAndLabelledConsistently) {
    // Sizes are pinned by the exact plans below; here every entry's numbering and pattern.
    for (std::uint32_t s = 0; s < kStandardCount; ++s) {
        const PassPlan plan = BuildPassPlan(s);
        for (std::size_t i = 0; i < plan.size(); ++i) {
            const OverwritePass& p = plan[i];
            EXPECT_EQ(p.number, i + 1);
            wchar_t prefix[32];
            std::swprintf(prefix, 32, L"Pass %zu/%zu: ", i + 1, plan.size());
            EXPECT_EQ(p.label.rfind(prefix, 0), 0u) << "label " << i << " of standard " << s;
            if (p.kind == PatternKind::Random) { EXPECT_EQ(p.pattern, (std::array<std::uint8_t, 3>{0, 0, 0})); }
            if (p.kind == PatternKind::Fixed) { EXPECT_EQ(p.pattern[1] | p.pattern[2], 0); }
        }
    }
}

TEST(Standards, ShortPlansExactly) {
    struct Expect { PatternKind kind; std::uint8_t byte; const wchar_t* label; };
    auto check = [](std::uint32_t standard, std::initializer_list<Expect> expected) {
        const PassPlan plan = BuildPassPlan(standard);
        ASSERT_EQ(plan.size(), expected.size());
        std::size_t i = 0;
        for (const Expect& e : expected) {
            EXPECT_EQ(plan[i].kind, e.kind) << standard << "/" << i;
            EXPECT_EQ(plan[i].pattern[0], e.byte) << standard << "/" << i;
            EXPECT_EQ(plan[i].label, e.label) << standard << "/" << i;
            ++i;
        }
    };
    check(NistPurge, {{PatternKind::Random, 0, L"Pass 1/2: NIST SP 800-88 Rev.1 Purge - CSPRNG Cryptographic Overwrite"},
                      {PatternKind::Fixed, 0, L"Pass 2/2: NIST SP 800-88 Rev.1 Purge - Zero Sanitization (0x00)"}});
    check(NistClear, {{PatternKind::Fixed, 0, L"Pass 1/1: NIST SP 800-88 Rev.1 Clear - Full LBA Zero Overwrite (0x00)"}});
    check(ZeroFill, {{PatternKind::Fixed, 0, L"Pass 1/1: Zero Fill (0x00)"}});
    check(CryptoRandom, {{PatternKind::Random, 0, L"Pass 1/1: Cryptographic Random (CSPRNG)"}});
    for (std::uint32_t s : {Dod3Pass, HmgIs5}) {
        check(s, {{PatternKind::Fixed, 0x00, L"Pass 1/3: Fixed Pattern (0x00)"},
                  {PatternKind::Fixed, 0xFF, L"Pass 2/3: Complement Pattern (0xFF)"},
                  {PatternKind::Random, 0, L"Pass 3/3: Cryptographic Random (CSPRNG)"}});
    }
    check(DodEce7Pass, {{PatternKind::Fixed, 0x00, L"Pass 1/7: DoD ECE Fixed (0x00)"},
                        {PatternKind::Fixed, 0xFF, L"Pass 2/7: DoD ECE Complement (0xFF)"},
                        {PatternKind::Random, 0, L"Pass 3/7: DoD ECE Random #1"},
                        {PatternKind::Fixed, 0x96, L"Pass 4/7: DoD ECE Pattern (0x96)"},
                        {PatternKind::Fixed, 0x00, L"Pass 5/7: DoD ECE Fixed (0x00)"},
                        {PatternKind::Fixed, 0xFF, L"Pass 6/7: DoD ECE Complement (0xFF)"},
                        {PatternKind::Random, 0, L"Pass 7/7: DoD ECE Random #2"}});
}

TEST(Standards, GutmannPlan) {
    const PassPlan plan = BuildPassPlan(Gutmann35);
    ASSERT_EQ(plan.size(), 35u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(plan[i].kind, PatternKind::Random);
    for (int i = 4; i < 31; ++i) EXPECT_EQ(plan[i].kind, PatternKind::Triple) << i + 1;
    for (int i = 31; i < 34; ++i) EXPECT_EQ(plan[i].kind, PatternKind::Random);
    EXPECT_EQ(plan[34].kind, PatternKind::Fixed);
    EXPECT_EQ(plan[34].pattern[0], 0);

    EXPECT_EQ(plan[0].label, L"Pass 1/35: Gutmann Pre-Random");
    EXPECT_EQ(plan[4].label, L"Pass 5/35: Gutmann MFM/RLL Pattern (55 55 55)");
    EXPECT_EQ(plan[6].label, L"Pass 7/35: Gutmann MFM/RLL Pattern (92 49 24)");
    EXPECT_EQ(plan[9].label, L"Pass 10/35: Gutmann MFM/RLL Pattern (00 00 00)");
    EXPECT_EQ(plan[30].label, L"Pass 31/35: Gutmann MFM/RLL Pattern (DB 6D B6)");
    EXPECT_EQ(plan[31].label, L"Pass 32/35: Gutmann Post-Random");
    EXPECT_EQ(plan[34].label, L"Pass 35/35: Gutmann Final Zero Clear (0x00)");
    EXPECT_EQ(plan[28].pattern, (std::array<std::uint8_t, 3>{0x6D, 0xB6, 0xDB}));
    EXPECT_EQ(plan[24].pattern, (std::array<std::uint8_t, 3>{0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace morvane
