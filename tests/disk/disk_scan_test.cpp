// The scan's decisions on fake facts, wrong-disk identity, the real Win32 scan under Wine
// (disks opened with no access rights only), the safety classification and the last
// check before a real write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "disk/disk_identity.h"
#include "disk/disk_scan.h"
#include "disk/safety.h"
#include "disk/write_safety.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

class FakeSource : public DiskFactSource {
public:
    SystemDisks system{{0}, true};
    int bootDisk = -1, bootQueries = 0, queries = 0;
    std::map<int, DiskQueryFacts> disks;
    std::vector<VolumeExtents> volumes;

    SystemDisks SystemDiskNumbers() override { return system; }
    int WinPEBootDiskNumber() override {
        ++bootQueries;
        return bootDisk;
    }
    std::optional<DiskQueryFacts> QueryDisk(int number) override {
        ++queries;
        return disks.contains(number) ? std::optional(disks[number]) : std::nullopt;
    }
    std::vector<VolumeExtents> QueryVolumes() override { return volumes; }
};

DiskQueryFacts Facts(std::uint64_t size, std::uint32_t busType = 11) {
    DiskQueryFacts f;
    f.descriptorOk = f.geometryOk = f.seekPenaltyOk = f.incursSeekPenalty = true;
    f.storageBusType = busType;
    f.vendor = "SanDisk ";
    f.product = "Ultra";
    f.serial = " 4C53000 ";
    f.diskSize = size;
    return f;
}

TEST(DiskScan, ScansNumbers0To31SkippingGapsAndEmptyDisks) {
    FakeSource source;
    source.disks = {{0, Facts(1000)}, {2, Facts(2000)}, {3, Facts(0)}, {4, Facts(5000)}, {31, Facts(1)}, {32, Facts(1)}};
    source.disks[4].geometryOk = false;  // no geometry: size unknown, not listed
    const auto disks = EnumeratePhysicalDisks(source, false, false);
    ASSERT_EQ(disks.size(), 3u);
    EXPECT_EQ(disks[1].devicePath, L"\\\\.\\PhysicalDrive2");
    EXPECT_EQ(disks[2].index, 31);
    EXPECT_EQ(source.queries, 32);
    EXPECT_EQ(source.bootQueries, 0) << "the boot-medium search runs only under WinPE";
}

// A descriptor laid out as Windows returns it, with a distinct string at each offset.
// What a drive offers and where it sits reach its record; disks on one controller, or
// beside a disk of unknown address, may share it; a failed last sanitize is said in the
// safety description.
TEST(DiskScan, FirmwareFactsAndSharedControllers) {
    FakeSource source;
    source.disks = {{1, Facts(1000, 17)}, {2, Facts(1000, 17)}, {3, Facts(1000, 17)}};
    source.disks[1].controllerAddress = ControllerAddress{1, 0, 0, 1};
    source.disks[2].controllerAddress = ControllerAddress{2, 0, 0, 1};
    source.disks[3].controllerAddress = ControllerAddress{2, 0, 0, 2};  // a second namespace of disk 2's controller
    source.disks[1].firmware.known = source.disks[1].firmware.cryptoErase = true;
    source.disks[1].firmware.lastSanitizeFailed = true;
    auto disks = EnumeratePhysicalDisks(source, true, false);
    ASSERT_EQ(disks.size(), 3u);
    EXPECT_TRUE(disks[0].firmware.cryptoErase && disks[0].controllerAddress->port == 1);
    EXPECT_EQ(disks[0].safetyDescription, disks[1].safetyDescription + L" " + FirmwareSafetyNote(disks[0].firmware));
    EXPECT_FALSE(FirmwareSafetyNote(disks[0].firmware).empty());
    EXPECT_FALSE(disks[0].controllerMayBeShared);
    EXPECT_TRUE(disks[1].controllerMayBeShared && disks[2].controllerMayBeShared);
    source.disks[4] = Facts(1000, 17);  // its address unknown: it may sit on any controller
    disks = EnumeratePhysicalDisks(source, true, false);
    EXPECT_TRUE(std::all_of(disks.begin(), disks.end(), [](const DiskInfo& d) { return d.controllerMayBeShared; }));
}

TEST(DiskScan, ParseDeviceDescriptorReadsEachFieldFromItsOffset) {
    unsigned char buffer[256] = {};
    buffer[10] = 1;  // RemovableMedia
    const char* strings[] = {"Kingston", "DataTraveler", "PMAP", "60A44C413A1C"};
    for (std::uint32_t i = 0, at = 100; i < 4; ++i, at += 20) {  // vendor, product, revision, serial
        std::memcpy(buffer + 12 + 4 * i, &at, 4);
        std::memcpy(buffer + at, strings[i], std::strlen(strings[i]) + 1);
    }
    buffer[28] = 7;  // USB
    const DiskQueryFacts f = ParseDeviceDescriptor(buffer, sizeof buffer);
    EXPECT_TRUE(f.descriptorOk && f.removableMedia && f.storageBusType == 7u);
    EXPECT_EQ(f.vendor + "|" + f.product + "|" + f.revision + "|" + f.serial, "Kingston|DataTraveler|PMAP|60A44C413A1C");
    const DiskInfo d = BuildDiskRecord(1, f);
    EXPECT_EQ(d.model + L"|" + d.firmwareRevision + L"|" + d.serialNumber, L"Kingston DataTraveler|PMAP|60A44C413A1C");
    // Nothing is read past the returned bytes, and under 40 bytes the descriptor does not count.
    const DiskQueryFacts cut = ParseDeviceDescriptor(buffer, 125);
    EXPECT_EQ(cut.product + "|" + cut.serial, "DataT|");
    EXPECT_FALSE(ParseDeviceDescriptor(buffer, 39).descriptorOk);
}

TEST(DiskScan, RecordDefaultsAndMediaKinds) {
    DiskQueryFacts failed;  // the descriptor query failed; a geometry sector size of 0 means 512
    failed.geometryOk = true;
    failed.diskSize = 1 << 20;
    const DiskInfo g = BuildDiskRecord(0, failed);
    EXPECT_EQ(g.model + L"|" + g.serialNumber + L"|" + std::to_wstring(g.bytesPerSector), L"Generic Physical Disk|N/A|512");

    struct Case { std::uint32_t busType; bool removable, penaltyOk, penalty; std::uint32_t media; const char* why; };
    const Case cases[] = {
        {17, true, true, true, MediaNvmeSsd, "NVMe is NVMe SSD even when removable"},
        {11, true, true, false, MediaRemovable, "removable flag wins over seek penalty"},
        {12, false, true, true, MediaRemovable, "SD card"},
        {7, false, false, false, MediaRemovable, "USB without seek-penalty answer"},
        {7, false, true, false, MediaSsd, "USB SSD answering the query"},
        {11, false, false, false, MediaHdd, "SATA without seek-penalty answer"},
    };
    for (const Case& c : cases) {
        DiskQueryFacts f = Facts(1 << 30, c.busType);
        f.removableMedia = c.removable;
        f.seekPenaltyOk = c.penaltyOk;
        f.incursSeekPenalty = c.penalty;
        EXPECT_EQ(BuildDiskRecord(0, f).mediaKind, c.media) << c.why;
    }
}

TEST(DiskScan, DriveLettersJoinedPerExtentAndWinPEBootMedium) {
    FakeSource source;
    source.bootDisk = 1;
    for (int n = 0; n < 4; ++n) source.disks[n] = Facts(1000, n == 1 ? 7 : 11);
    source.volumes = {{L"C:\\", {0}}, {L"D:\\", {0}}, {L"E:\\", {1, 1}}, {L"F:\\", {1, 2}}, {L"G:\\", {9}}};
    const auto disks = EnumeratePhysicalDisks(source, true, false);
    ASSERT_EQ(disks.size(), 4u);
    EXPECT_EQ(disks[0].driveLetters, L"C:, D:");
    EXPECT_EQ(disks[1].driveLetters, L"E:, E:, F:");
    EXPECT_EQ(disks[2].driveLetters, L"F:");
    EXPECT_EQ(disks[3].driveLetters, L"(未割当/マウントなし)");
    EXPECT_EQ(disks[0].safety, Erasable) << "under WinPE the installed Windows disk is erasable";
    EXPECT_EQ(disks[1].safety, WinPEBootMedium);
}

TEST(DiskScan, VolumeExtentsQueryGrowsUntilEveryExtentFits) {
    std::vector<unsigned char> answer(8 + 3 * 24, 0);  // VOLUME_DISK_EXTENTS on disks 0, 2, 7
    const std::vector<std::uint32_t> all{0, 2, 7};
    answer[0] = 3;
    for (int i = 0; i < 3; ++i) answer[8 + i * 24] = static_cast<unsigned char>(all[i]);
    EXPECT_FALSE(ParseDiskExtentNumbers(answer.data(), answer.size() - 1)) << "last extent cut short";
    // Like Windows: a buffer too small fails with "more data", with or without the count.
    std::vector<std::size_t> sizes;
    bool announceCount = true, fits = true;
    const ExtentsIoctl ioctl = [&](unsigned char* buffer, std::size_t size, std::size_t& returned, bool& moreData) {
        sizes.push_back(size);
        moreData = !fits || size < answer.size();
        returned = moreData ? 0 : answer.size();
        std::memcpy(buffer, answer.data(), moreData ? (announceCount ? 4 : 0) : answer.size());
        return !moreData;
    };
    EXPECT_EQ(QueryVolumeExtents(ioctl), all);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{32, 80}));
    announceCount = false;  // without the count the buffer still grows
    EXPECT_EQ(QueryVolumeExtents(ioctl), all);
    fits = false;
    EXPECT_FALSE(QueryVolumeExtents(ioctl)) << "the growth is bounded";
}

// A system volume spanning disks protects every one of them; when the system volumes
// cannot be read, no internal disk is unlocked, but external disks stay erasable.
TEST(DiskScan, SpannedOrUnreadableSystemVolume) {
    using Answer = std::optional<std::vector<std::uint32_t>>;
    const Answer spanned{{0, 2}}, windowsDir{{2, 3}}, failed, none{std::vector<std::uint32_t>{}};
    EXPECT_EQ(SystemDisksFrom(std::vector<Answer>{spanned, windowsDir}).numbers, (std::vector<std::uint32_t>{0, 2, 3}));
    for (const auto& answers : {std::vector<Answer>{spanned, failed}, std::vector<Answer>{none}, std::vector<Answer>{}}) {
        const SystemDisks unknown = SystemDisksFrom(answers);
        EXPECT_FALSE(unknown.resolved);
        EXPECT_EQ(unknown.numbers, std::vector<std::uint32_t>{0});
    }
    FakeSource source;
    for (int n = 0; n < 5; ++n) source.disks[n] = Facts(1000, n == 4 ? 7 : 11);  // disk 4: a USB stick
    const auto statuses = [&](const Answer& answer) {
        source.system = SystemDisksFrom(std::vector<Answer>{answer});
        std::vector<std::uint32_t> out;
        for (const DiskInfo& d : EnumeratePhysicalDisks(source, false, true)) out.push_back(d.safety);
        return out;
    };
    EXPECT_EQ(statuses(spanned), (std::vector<std::uint32_t>{SystemDisk, InternalUnlocked, SystemDisk, InternalUnlocked, Erasable}));
    EXPECT_EQ(statuses(failed), (std::vector<std::uint32_t>{SystemDisk, InternalLocked, InternalLocked, InternalLocked, Erasable}));
}

TEST(DiskIdentity, EveryFieldMustMatchExactly) {
    const DiskQueryFacts facts = Facts(15931539456ULL, 7);
    const auto identity = IdentityFromFacts(facts, 42);
    ASSERT_TRUE(identity.has_value());
    EXPECT_TRUE(SameDiskIdentity(IdentityOfRecord(BuildDiskRecord(3, facts)), *identity));
    EXPECT_EQ(identity->sizeBytes, 15931539456ULL) << "a device's geometry wins over a file size";
    const DiskIdentity chosen{L"SanDisk Ultra", L"4C53000", 15931539456ULL};
    EXPECT_TRUE(SameDiskIdentity(chosen, *identity));
    EXPECT_FALSE(SameDiskIdentity(chosen, {L"SanDisk Ultra Fit", L"4C53000", 15931539456ULL}));
    EXPECT_FALSE(SameDiskIdentity(chosen, {L"SanDisk Ultra", L"4C53001", 15931539456ULL}));
    EXPECT_FALSE(SameDiskIdentity(chosen, {L"SanDisk Ultra", L"4C53000", 15931539457ULL}));
    EXPECT_FALSE(SameDiskIdentity(chosen, {L"sandisk ultra", L"4C53000", 15931539456ULL}));
}

TEST(DiskIdentity, RealQueryOfAnImageFile) {
    testing::TempDir dir;
    DiskInfo record;
    record.devicePath = dir.file(L"disk.img");
    record.model = L"Generic Physical Disk";
    record.serialNumber = L"N/A";
    record.sizeBytes = 3 * 1048576;
    ASSERT_TRUE(testing::CreateImageFile(record.devicePath, record.sizeBytes));
    EXPECT_TRUE(DiskIdentityUnchanged(record, nullptr));
    ASSERT_TRUE(testing::CreateImageFile(record.devicePath, 4 * 1048576));
    EXPECT_FALSE(DiskIdentityUnchanged(record, nullptr)) << "the file grew since the record was made";
    EXPECT_FALSE(QueryDiskIdentity(dir.file(L"missing.img")).has_value());
    EXPECT_FALSE(QueryDiskIdentity(dir.path().wstring()).has_value()) << "a folder is no disk";
}

// Wine may list no disk at all, so what is checked must hold on any machine: C: is a
// drive, the system-disk lookup never comes back empty (that would unlock every
// internal disk), and a listed disk holding C: is protected.
TEST(LiveScan, MachineAnswersAreUsable) {
    EXPECT_FALSE(IsWinPE()) << "under Wine the system directory is on C:";
    const auto roots = LogicalDriveRoots();
    EXPECT_NE(std::find(roots.begin(), roots.end(), L"C:\\"), roots.end());
    EXPECT_FALSE(QuerySystemDisks().numbers.empty());
    for (const DiskInfo& d : EnumeratePhysicalDisks(false, false)) {
        EXPECT_NE(d.sizeBytes, 0u);
        EXPECT_TRUE(d.driveLetters.find(L"C:") == std::wstring::npos || d.safety == SystemDisk) << d.index;
        // The firmware transport refuses under Wine: nothing is known of the drive's own
        // erase or of its controller.
        EXPECT_TRUE(!d.firmware.known && !d.controllerAddress) << d.index;
    }
}

DiskInfo Disk(int index, std::uint32_t bus, std::uint32_t media, const wchar_t* letters) {
    DiskInfo d;
    d.index = index;
    d.busKind = bus;
    d.mediaKind = media;
    d.driveLetters = letters;
    return d;
}

TEST(ClassifyDisks, Table) {
    struct Row { const char* name; DiskInfo disk; bool winPE, unlock; int bootDisk; std::uint32_t status; };
    const Row rows[] = {
        {"system disk by number, unlocked", Disk(0, BusSata, MediaSsd, L""), false, true, -1, SystemDisk},
        {"USB disk holding C:", Disk(3, BusUsb, MediaRemovable, L"C:"), false, false, -1, SystemDisk},
        {"lower-case c: anywhere in the list", Disk(2, BusSata, MediaHdd, L"D:, c:"), false, true, -1, SystemDisk},
        {"unresolved system volume: disk 0 even on USB", Disk(0, BusUsb, MediaRemovable, L"E:"), false, false, -1, SystemDisk},
        {"internal NVMe locked", Disk(1, BusNvme, MediaNvmeSsd, L"D:"), false, false, -1, InternalLocked},
        {"internal NVMe unlocked", Disk(1, BusNvme, MediaNvmeSsd, L"D:"), false, true, -1, InternalUnlocked},
        {"NVMe in a USB enclosure", Disk(1, BusUsb, MediaNvmeSsd, L"E:"), false, false, -1, Erasable},
        {"SD card", Disk(1, BusSdCard, MediaSsd, L""), false, false, -1, Erasable},
        {"SATA with removable media", Disk(1, BusSata, MediaRemovable, L""), false, false, -1, Erasable},
        {"unknown bus is internal", Disk(1, BusUnknown, MediaHdd, L""), false, true, -1, InternalUnlocked},
        {"WinPE: boot medium", Disk(1, BusUsb, MediaRemovable, L"X:"), true, false, 1, WinPEBootMedium},
        {"WinPE: installed Windows disk", Disk(0, BusSata, MediaSsd, L"C:"), true, false, 1, Erasable},
        {"WinPE: internal disk, unlock ignored", Disk(2, BusNvme, MediaNvmeSsd, L"D:"), true, true, 1, Erasable},
        {"WinPE without boot medium: C: disk", Disk(0, BusSata, MediaSsd, L"C:"), true, false, -1, Erasable},
        {"no letters: the placeholder must not read as C:", Disk(1, BusSata, MediaHdd, L""), false, false, -1, InternalLocked},
    };
    for (const Row& row : rows) {
        std::vector<DiskInfo> disks{row.disk};
        ClassifyDisks(disks, row.winPE, row.unlock, 0, row.bootDisk);
        EXPECT_EQ(disks[0].safety, row.status) << row.name;
        EXPECT_FALSE(disks[0].safetyDescription.empty()) << row.name;
    }
    for (std::uint32_t s = 0; s < 8; ++s) EXPECT_EQ(IsErasableForRealWrite(s), s == Erasable || s == InternalUnlocked) << s;
    EXPECT_FALSE(IsErasableForRealWrite(DiskInfo{}.safety)) << "a fresh record must be protected";
}

// The decision inside the guarded open: the record must allow the write, and so must
// the disk classified against the running machine with the operator's unlock.
TEST(RealWriteAllowed, RecordAndRealMachineMustBothAllow) {
    SafetyEnvironment windows;
    windows.systemDisks = {{0}, true};
    windows.volumes = {{L"C:\\", {0, 3}}, {L"D:\\", {1}}};  // C: is mirrored onto disk 3
    SafetyEnvironment unknown = windows;
    unknown.systemDisks.resolved = false;
    SafetyEnvironment winPE = windows;
    winPE.winPE = true;
    winPE.bootMediumDisk = 4;
    const auto record = [](const wchar_t* path, int index, std::uint32_t bus, std::uint32_t safety, const wchar_t* letters = L"") {
        DiskInfo d = Disk(index, bus, bus == BusUsb ? MediaRemovable : MediaHdd, letters);
        d.devicePath = path;
        d.safety = safety;
        return d;
    };
    const wchar_t* image = L"C:\\images\\disk.img";
    using V = WriteVerdict;
    struct Case { const char* what; DiskInfo disk; const SafetyEnvironment* environment; bool unlock; V verdict; };
    const Case cases[] = {
        {"unlocked internal disk", record(L"\\\\.\\PhysicalDrive1", 1, BusSata, InternalUnlocked), &windows, true, V::Allowed},
        {"record unlocked, operator did not", record(L"\\\\.\\PhysicalDrive1", 1, BusSata, InternalUnlocked), &windows, false, V::Protected},
        {"record from the WinPE simulation: system disk", record(L"\\\\.\\PhysicalDrive0", 0, BusUsb, Erasable), &windows, true, V::SystemDrive},
        {"real letters put C: on disk 3", record(L"\\\\.\\PhysicalDrive3", 3, BusUsb, Erasable), &windows, true, V::SystemDrive},
        {"record number and path disagree", record(L"\\\\.\\PhysicalDrive2", 1, BusUsb, Erasable), &windows, true, V::Unidentified},
        {"verbatim form, lower case", record(L"\\\\?\\physicaldrive2", 2, BusUsb, Erasable), &windows, false, V::Allowed},
        {"forward slashes", record(L"//./PhysicalDrive0", 0, BusUsb, Erasable), &windows, true, V::SystemDrive},
        {"a volume path", record(L"\\\\.\\D:", 5, BusUsb, Erasable), &windows, true, V::Unidentified},
        {"stricter record wins", record(L"\\\\.\\PhysicalDrive2", 2, BusUsb, InternalLocked), &windows, true, V::Protected},
        {"undefined safety value", record(L"\\\\.\\PhysicalDrive2", 2, BusUsb, 9), &windows, true, V::Protected},
        {"image numbered like the system disk", record(image, 0, BusUsb, Erasable), &windows, true, V::Protected},
        {"unnumbered USB image", record(image, -1, BusUsb, Erasable), &windows, false, V::Allowed},
        {"image holding C:", record(image, -1, BusUsb, Erasable, L"C:"), &windows, true, V::SystemDrive},
        {"image holding c:", record(image, -1, BusUsb, Erasable, L"d:, c:"), &windows, true, V::SystemDrive},
        {"internal image, locked", record(image, -1, BusSata, Erasable), &windows, false, V::Protected},
        {"internal image, unlocked", record(image, -1, BusSata, InternalUnlocked), &windows, true, V::Allowed},
        {"unknown system disks lock internal disks", record(L"\\\\.\\PhysicalDrive1", 1, BusSata, InternalUnlocked), &unknown, true, V::Protected},
        {"unknown system disks leave USB alone", record(L"\\\\.\\PhysicalDrive2", 2, BusUsb, Erasable), &unknown, false, V::Allowed},
        {"WinPE: installed system disk", record(L"\\\\.\\PhysicalDrive0", 0, BusSata, Erasable), &winPE, false, V::Allowed},
        {"WinPE: its boot stick", record(L"\\\\.\\PhysicalDrive4", 4, BusUsb, Erasable), &winPE, false, V::Protected},
    };
    for (const Case& c : cases) {
        const WriteJudgement judgement = JudgeRealWrite(c.disk, *c.environment, c.unlock);
        EXPECT_EQ(judgement.verdict, c.verdict) << c.what;
        EXPECT_EQ(RealWriteAllowed(c.disk, *c.environment, c.unlock), c.verdict == V::Allowed) << c.what;
        // A protected disk is refused with the description of the class that refuses it.
        if (c.verdict == V::Protected) {
            EXPECT_FALSE(judgement.description.empty()) << c.what;
        }
    }
    EXPECT_EQ(JudgeRealWrite(cases[1].disk, windows, false).description.rfind(L"内蔵ストレージです。", 0), 0u);
}

}  // namespace
}  // namespace morvane
