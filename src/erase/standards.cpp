// Names, descriptions and pass plans of the erasure standards.
#include "erase/standards.h"

#include <cstdio>

namespace morvane {

std::wstring StandardName(std::uint32_t standard) {
    switch (standard) {
        case NistPurge: return L"NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)";
        case NistClear: return L"NIST SP 800-88 Rev.1 Clear (国際標準・TRIM+1Passゼロ上書き+Verify)";
        case ZeroFill: return L"Zero Fill (1 Pass - 高速ゼロ上書き)";
        case CryptoRandom: return L"Cryptographic Random (1 Pass - 暗号論的乱数)";
        case Dod3Pass: return L"DoD 5220.22-M (3 Passes - 米国国防総省標準)";
        case HmgIs5: return L"UK HMG IS5 Enhanced (3 Passes - 英国政府機密規格)";
        case DodEce7Pass: return L"DoD 5220.22-M ECE (7 Passes - 米国国防総省拡張規格)";
        case Gutmann35: return L"Peter Gutmann Method (35 Passes - 最高機密HDD完全消去)";
        default: return L"Unknown Standard";
    }
}

std::uint32_t StandardFromName(const std::wstring& name) {
    for (std::uint32_t standard = 0; standard < kStandardCount; ++standard) {
        if (StandardName(standard) == name) return standard;
    }
    return kStandardCount;
}

std::wstring StandardDescription(std::uint32_t standard) {
    switch (standard) {
        case NistPurge:
            return L"【NVMe/SATA SSD最推奨】NIST SP 800-88 Rev.1 Purge準拠。全LBA TRIM/Deallocateブロック解放＋CSPRNG暗号乱数＋ゼロパージ＋構造完全破棄を行います。";
        case NistClear:
            return L"NIST SP 800-88 Rev.1 Clear準拠。全ユーザアドレス領域へ0x00を上書きし、リードバック検証によって論理的データ復旧を完全に阻止します。";
        case ZeroFill:
            return L"全セクタを 0x00 で1回上書きし、MBR/GPTパーティション情報を完全消去します。";
        case CryptoRandom:
            return L"Windows CNG 暗号論的乱数生成器(BCrypt)を用いて全セクタをランダムデータで1回上書きします。";
        case Dod3Pass:
            return L"Pass1: 0x00、Pass2: 0xFF、Pass3: 暗号論的乱数の3段階上書きとベリファイ検証を行う米国国防総省方式です。";
        case HmgIs5:
            return L"英国政府通信本部(CESG)規格。0x00上書き、0xFF上書き、暗号論的乱数上書きの3パスを実行します。";
        case DodEce7Pass:
            return L"米国国防総省の7パス拡張版。固定値・補数・暗号乱数を7回反復書き込みし、磁気残留を徹底排除します。";
        case Gutmann35:
            return L"Peter Gutmann博士提唱の35パス方式。多様なビットパターンと乱数を35回書き込みます(HDD専用・長時間)。";
        default: return L"";
    }
}

namespace {

OverwritePass MakePass(std::uint32_t number, PatternKind kind, std::uint8_t b0, std::uint8_t b1,
                       std::uint8_t b2, std::wstring label) {
    OverwritePass pass;
    pass.number = number;
    pass.kind = kind;
    pass.pattern = {b0, b1, b2};
    pass.label = std::move(label);
    return pass;
}
OverwritePass FixedPass(std::uint32_t number, std::uint8_t byte, std::wstring label) {
    return MakePass(number, PatternKind::Fixed, byte, 0, 0, std::move(label));
}
OverwritePass RandomPass(std::uint32_t number, std::wstring label) {
    return MakePass(number, PatternKind::Random, 0, 0, 0, std::move(label));
}

std::wstring Format(const wchar_t* format, unsigned a, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    wchar_t text[128];
    std::swprintf(text, 128, format, a, b, c, d);
    return text;
}

PassPlan GutmannPlan() {
    // The published Gutmann patterns 5 to 31, in order.
    static constexpr std::uint8_t kPatterns[27][3] = {
        {0x55, 0x55, 0x55}, {0xAA, 0xAA, 0xAA}, {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92},
        {0x24, 0x92, 0x49}, {0x00, 0x00, 0x00}, {0x11, 0x11, 0x11}, {0x22, 0x22, 0x22},
        {0x33, 0x33, 0x33}, {0x44, 0x44, 0x44}, {0x55, 0x55, 0x55}, {0x66, 0x66, 0x66},
        {0x77, 0x77, 0x77}, {0x88, 0x88, 0x88}, {0x99, 0x99, 0x99}, {0xAA, 0xAA, 0xAA},
        {0xBB, 0xBB, 0xBB}, {0xCC, 0xCC, 0xCC}, {0xDD, 0xDD, 0xDD}, {0xEE, 0xEE, 0xEE},
        {0xFF, 0xFF, 0xFF}, {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92}, {0x24, 0x92, 0x49},
        {0x6D, 0xB6, 0xDB}, {0xB6, 0xDB, 0x6D}, {0xDB, 0x6D, 0xB6},
    };
    PassPlan plan;
    std::uint32_t n = 1;
    for (; n <= 4; ++n) plan.push_back(RandomPass(n, Format(L"Pass %u/35: Gutmann Pre-Random", n)));
    for (const auto& p : kPatterns) {
        plan.push_back(MakePass(n, PatternKind::Triple, p[0], p[1], p[2],
                                Format(L"Pass %u/35: Gutmann MFM/RLL Pattern (%02X %02X %02X)", n,
                                       p[0], p[1], p[2])));
        ++n;
    }
    for (; n <= 34; ++n) plan.push_back(RandomPass(n, Format(L"Pass %u/35: Gutmann Post-Random", n)));
    plan.push_back(FixedPass(35, 0x00, L"Pass 35/35: Gutmann Final Zero Clear (0x00)"));
    return plan;
}

}  // namespace

PassPlan BuildPassPlan(std::uint32_t standard) {
    switch (standard) {
        case NistPurge:
            return {RandomPass(1, L"Pass 1/2: NIST SP 800-88 Rev.1 Purge - CSPRNG Cryptographic Overwrite"),
                    FixedPass(2, 0x00, L"Pass 2/2: NIST SP 800-88 Rev.1 Purge - Zero Sanitization (0x00)")};
        case NistClear:
            return {FixedPass(1, 0x00, L"Pass 1/1: NIST SP 800-88 Rev.1 Clear - Full LBA Zero Overwrite (0x00)")};
        case ZeroFill:
            return {FixedPass(1, 0x00, L"Pass 1/1: Zero Fill (0x00)")};
        case CryptoRandom:
            return {RandomPass(1, L"Pass 1/1: Cryptographic Random (CSPRNG)")};
        case Dod3Pass:
        case HmgIs5:
            return {FixedPass(1, 0x00, L"Pass 1/3: Fixed Pattern (0x00)"),
                    FixedPass(2, 0xFF, L"Pass 2/3: Complement Pattern (0xFF)"),
                    RandomPass(3, L"Pass 3/3: Cryptographic Random (CSPRNG)")};
        case DodEce7Pass:
            return {FixedPass(1, 0x00, L"Pass 1/7: DoD ECE Fixed (0x00)"),
                    FixedPass(2, 0xFF, L"Pass 2/7: DoD ECE Complement (0xFF)"),
                    RandomPass(3, L"Pass 3/7: DoD ECE Random #1"),
                    FixedPass(4, 0x96, L"Pass 4/7: DoD ECE Pattern (0x96)"),
                    FixedPass(5, 0x00, L"Pass 5/7: DoD ECE Fixed (0x00)"),
                    FixedPass(6, 0xFF, L"Pass 6/7: DoD ECE Complement (0xFF)"),
                    RandomPass(7, L"Pass 7/7: DoD ECE Random #2")};
        case Gutmann35:
            return GutmannPlan();
        default:
            return {};
    }
}

}  // namespace morvane
