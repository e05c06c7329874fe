// Ten thousand truncated and corrupted SMBIOS tables, generated from a fixed seed:
// the walk must neither fault on the fences around each copy nor leave any profile
// field empty.
#include <gtest/gtest.h>

#include <random>

#include "hwinfo/profile_compose.h"
#include "hwinfo/smbios.h"
#include "support/hwinfo_smbios.h"

namespace morvane {
namespace {

using testing::FencedBytes;
using testing::SmbiosStructure;

constexpr int kCases = 10000;
constexpr std::uint32_t kSeed = 20240611;

std::vector<std::uint8_t> RealisticRaw() {
    std::vector<SmbiosStructure> s;
    s.push_back(SmbiosStructure(0, 0x18).Str(4, "American Firmware").Str(5, "F.42").Str(8, "05/06/2022").Byte(9, 0x3F));
    s.push_back(SmbiosStructure(1, 0x1B).Str(4, "Maker Co").Str(5, "Model X1").Str(7, "SN123").Byte(8, 0x11));
    s.push_back(SmbiosStructure(2, 0x0F).Str(4, "Board Co").Str(5, "B550"));
    s.push_back(SmbiosStructure(3, 0x16).Byte(5, 0x0A).Str(8, "Tag 7"));
    s.push_back(SmbiosStructure(4, 0x30).Word(22, 3400).Byte(35, 6).Str(4, "CPU socket"));
    for (std::uint16_t size : {8192, 0, 0xFFFF, 16384}) s.push_back(SmbiosStructure(17, 0x28).Word(12, size).Str(16, "DIMM"));
    s.push_back(SmbiosStructure(127, 4));
    return testing::RawSmbios(s);
}

std::vector<std::uint8_t> Mutate(const std::vector<std::uint8_t>& base, std::mt19937& rng) {
    std::vector<std::uint8_t> raw = base;
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % (n == 0 ? 1 : n)); };
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits && !raw.empty(); ++e) {
        switch (rng() % 7) {
            case 0:  // truncate anywhere, header included
                raw.resize(pick(raw.size() + 1));
                break;
            case 1:  // random byte
                raw[pick(raw.size())] = static_cast<std::uint8_t>(rng());
                break;
            case 2:  // small length or string-index values are the interesting ones
                raw[pick(raw.size())] = static_cast<std::uint8_t>(rng() % 6);
                break;
            case 3:  // declared table length: anything, often larger than the buffer
                if (raw.size() >= 8) {
                    const std::uint32_t length = rng() % 2 ? rng() : static_cast<std::uint32_t>(pick(raw.size() + 16));
                    for (int i = 0; i < 4; ++i) raw[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
                }
                break;
            case 4:  // wipe zeros so string areas lose their terminators
                for (std::size_t i = pick(raw.size()); i < raw.size(); ++i) {
                    if (raw[i] == 0) raw[i] = 'A';
                    if (rng() % 8 == 0) break;
                }
                break;
            case 5:  // cut out a run of bytes
                {
                    const std::size_t at = pick(raw.size());
                    const std::size_t n = std::min(raw.size() - at, 1 + pick(24));
                    raw.erase(raw.begin() + static_cast<std::ptrdiff_t>(at),
                              raw.begin() + static_cast<std::ptrdiff_t>(at + n));
                }
                break;
            default:  // garbage tail
                for (std::size_t n = pick(32); n > 0; --n) raw.push_back(static_cast<std::uint8_t>(rng()));
                break;
        }
    }
    return raw;
}

void ExpectNoEmptyField(const HardwareProfile& p, int caseNumber) {
    const std::wstring* fields[] = {&p.manufacturer, &p.chassisType, &p.model, &p.serial, &p.uuid,
                                    &p.assetTag, &p.processor, &p.totalMemory, &p.disk,
                                    &p.diskGeometry, &p.graphicsCard, &p.soundCards,
                                    &p.networkAdapters, &p.motherboard, &p.biosInformation,
                                    &p.storageController};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        ASSERT_FALSE(fields[i]->empty()) << "case " << caseNumber << " field " << i + 1;
    }
    ASSERT_EQ(p.uuid.size(), 36u) << "case " << caseNumber;
}

TEST(SmbiosMutation, TenThousandMutatedTablesStayInsideTheirBuffers) {
    const std::vector<std::uint8_t> base = RealisticRaw();
    // The unmutated table is fully understood, so the mutations start from real content.
    const SmbiosFacts whole = ParseSmbiosTable(base);
    ASSERT_EQ(whole.manufacturer, L"Maker Co");
    ASSERT_EQ(whole.populatedBanks, 2u);
    ASSERT_EQ(whole.freeBanks, 2u);
    ASSERT_EQ(whole.coreCount, 6u);

    std::mt19937 rng(kSeed);
    int walkedSomething = 0;
    for (int n = 0; n < kCases; ++n) {
        const std::vector<std::uint8_t> raw = Mutate(base, rng);
        // Flush against the fence after the bytes catches overruns, before them underruns.
        const FencedBytes after(raw, FencedBytes::Flush::End);
        const FencedBytes before(raw, FencedBytes::Flush::Start);
        ASSERT_TRUE(after.ok() && before.ok());
        const SmbiosFacts facts = ParseSmbiosTable(after.bytes());
        ASSERT_EQ(ParseSmbiosTable(before.bytes()).biosInformation, facts.biosInformation) << n;
        if (!facts.manufacturer.empty() || !facts.biosInformation.empty()) ++walkedSomething;
        ExpectNoEmptyField(ComposeHardwareProfile(facts, {}, {}, 0, DiskInfo{}, {}), n);
        if (::testing::Test::HasFatalFailure()) return;
    }
    // The mutations must leave many tables partly readable, or they test only the header check.
    EXPECT_GT(walkedSomething, kCases / 10);
    std::printf("mutated tables: %d, partly readable: %d\n", kCases, walkedSomething);
}

}  // namespace
}  // namespace morvane
