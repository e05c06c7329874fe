// Every row of the safety classification, under a normal Windows and under WinPE,
// with and without the internal-disk unlock.
#include <gtest/gtest.h>

#include "disk/safety.h"
#include "disk/write_safety.h"

namespace morvane {
namespace {

DiskInfo Disk(int index, std::uint32_t bus, std::uint32_t media, const wchar_t* letters) {
    DiskInfo d;
    d.index = index;
    d.busKind = bus;
    d.mediaKind = media;
    d.driveLetters = letters;
    return d;
}

struct Row {
    const char* name;
    DiskInfo disk;
    bool winPE;
    bool unlock;
    int systemDisk;
    int bootDisk;
    std::uint32_t status;
    const wchar_t* description;
};

constexpr const wchar_t* kSystem =
    L"現在のWindows OSが稼働しているシステム起動ディスクのため、安全保護ロックにより消去できません。";
constexpr const wchar_t* kBoot = L"現在起動中のWinPEメディア自体のため、保護ロックされています。";
constexpr const wchar_t* kWinPE = L"WinPEモード: 内蔵・外部ストレージとして安全に完全消去可能です。";
constexpr const wchar_t* kRemovable = L"外部/リムーバブルストレージ: Windows上から安全に完全消去可能です。";
constexpr const wchar_t* kUnlocked = L"内蔵セカンダリディスク (ロック解除中 - 消去時は十分ご注意ください)";
constexpr const wchar_t* kLocked =
    L"内蔵ストレージです。通常Windows上では誤消去防止のため保護されています(WinPE起動または上級者ロック解除で消去可能)。";

TEST(ClassifyDisks, Table) {
    const Row rows[] = {
        {"system disk by number", Disk(0, BusSata, MediaSsd, L"C:"), false, false, 0, -1, SystemDisk, kSystem},
        {"system disk by number, unlocked", Disk(0, BusSata, MediaSsd, L""), false, true, 0, -1, SystemDisk, kSystem},
        {"USB disk holding C:", Disk(3, BusUsb, MediaRemovable, L"C:"), false, false, 0, -1, SystemDisk, kSystem},
        {"lower-case c: anywhere in the list", Disk(2, BusSata, MediaHdd, L"D:, c:"), false, true, 0, -1, SystemDisk, kSystem},
        {"unresolved system volume: disk 0 even on USB", Disk(0, BusUsb, MediaRemovable, L"E:"), false, false, 0, -1, SystemDisk, kSystem},
        {"D:, E: is not C:", Disk(1, BusSata, MediaHdd, L"D:, E:"), false, false, 0, -1, InternalLocked, kLocked},
        {"internal NVMe locked", Disk(1, BusNvme, MediaNvmeSsd, L"D:"), false, false, 0, -1, InternalLocked, kLocked},
        {"internal NVMe unlocked", Disk(1, BusNvme, MediaNvmeSsd, L"D:"), false, true, 0, -1, InternalUnlocked, kUnlocked},
        {"NVMe in a USB enclosure", Disk(1, BusUsb, MediaNvmeSsd, L"E:"), false, false, 0, -1, Erasable, kRemovable},
        {"SD card", Disk(1, BusSdCard, MediaRemovable, L""), false, false, 0, -1, Erasable, kRemovable},
        {"MMC", Disk(1, BusMmc, MediaRemovable, L""), false, false, 0, -1, Erasable, kRemovable},
        {"SATA with removable media", Disk(1, BusSata, MediaRemovable, L""), false, false, 0, -1, Erasable, kRemovable},
        {"SATA SSD is internal", Disk(1, BusSata, MediaSsd, L""), false, false, 0, -1, InternalLocked, kLocked},
        {"unknown bus is internal", Disk(1, BusUnknown, MediaHdd, L""), false, true, 0, -1, InternalUnlocked, kUnlocked},
        {"WinPE: boot medium", Disk(1, BusUsb, MediaRemovable, L"X:"), true, false, 0, 1, WinPEBootMedium, kBoot},
        {"WinPE: installed Windows disk", Disk(0, BusSata, MediaSsd, L"C:"), true, false, 0, 1, Erasable, kWinPE},
        {"WinPE: internal disk, unlock ignored", Disk(2, BusNvme, MediaNvmeSsd, L"D:"), true, true, 0, 1, Erasable, kWinPE},
        {"WinPE: USB stick", Disk(3, BusUsb, MediaRemovable, L"E:"), true, false, 0, 1, Erasable, kWinPE},
        {"WinPE simulation without boot medium: C: disk", Disk(0, BusSata, MediaSsd, L"C:"), true, false, 0, -1, Erasable, kWinPE},
    };
    for (const Row& row : rows) {
        std::vector<DiskInfo> disks{row.disk};
        ClassifyDisks(disks, row.winPE, row.unlock, row.systemDisk, row.bootDisk);
        EXPECT_EQ(disks[0].safety, row.status) << row.name;
        EXPECT_EQ(disks[0].safetyDescription, row.description) << row.name;
    }
}

TEST(ClassifyDisks, EmptyLettersGetPlaceholderBeforeTheCheck) {
    std::vector<DiskInfo> disks{Disk(1, BusUsb, MediaRemovable, L""), Disk(2, BusSata, MediaHdd, L"F:")};
    ClassifyDisks(disks, false, false, 0, -1);
    EXPECT_EQ(disks[0].driveLetters, L"(未割当/マウントなし)");
    EXPECT_EQ(disks[1].driveLetters, L"F:");
}

// The decision inside the guarded open: the record must allow the write, and so must
// the disk classified against the running machine with the operator's unlock.
TEST(RealWriteAllowed, RecordAndRealMachineMustBothAllow) {
    SafetyEnvironment windows;
    windows.systemDisks = {{0}, true};
    windows.volumes = {{L"C:\\", {0, 3}}, {L"D:\\", {1}}};  // C: is mirrored onto disk 3
    SafetyEnvironment unknown = windows;
    unknown.systemDisks = {{0}, false};
    SafetyEnvironment winPE = windows;
    winPE.winPE = true;
    winPE.bootMediumDisk = 4;
    SafetyEnvironment winPENoStick = winPE;
    winPENoStick.bootMediumDisk = -1;
    const auto record = [](const wchar_t* path, int index, std::uint32_t bus, std::uint32_t safety,
                           const wchar_t* letters = L"") {
        DiskInfo d = Disk(index, bus, bus == BusUsb ? MediaRemovable : MediaHdd, letters);
        d.devicePath = path;
        d.safety = safety;
        return d;
    };
    const wchar_t* image = L"C:\\images\\disk.img";
    struct Case {
        const char* what;
        DiskInfo disk;
        const SafetyEnvironment* environment;
        bool unlock;
        bool allowed;
    };
    const Case cases[] = {
        {"unlocked internal disk", record(L"\\\\.\\PhysicalDrive1", 1, BusSata, InternalUnlocked), &windows, true, true},
        {"record unlocked, operator did not", record(L"\\\\.\\PhysicalDrive1", 1, BusSata, InternalUnlocked), &windows, false, false},
        {"record from the WinPE simulation: system disk", record(L"\\\\.\\PhysicalDrive0", 0, BusUsb, Erasable), &windows, true, false},
        {"real letters put C: on disk 3", record(L"\\\\.\\PhysicalDrive3", 3, BusUsb, Erasable), &windows, true, false},
        {"record number and path disagree", record(L"\\\\.\\PhysicalDrive2", 1, BusUsb, Erasable), &windows, true, false},
        {"verbatim form, lower case", record(L"\\\\?\\physicaldrive2", 2, BusUsb, Erasable), &windows, false, true},
        {"forward slashes", record(L"//./PhysicalDrive0", 0, BusUsb, Erasable), &windows, true, false},
        {"a volume path", record(L"\\\\.\\D:", 5, BusUsb, Erasable), &windows, true, false},
        {"another device path", record(L"\\\\?\\GLOBALROOT\\Device\\Harddisk5\\DR5", 5, BusUsb, Erasable), &windows, true, false},
        {"stricter record wins", record(L"\\\\.\\PhysicalDrive2", 2, BusUsb, InternalLocked), &windows, true, false},
        {"image numbered like the system disk", record(image, 0, BusUsb, Erasable), &windows, true, false},
        {"unnumbered USB image", record(image, -1, BusUsb, Erasable), &windows, false, true},
        {"verbatim image path", record(L"\\\\?\\D:\\disk.img", -1, BusUsb, Erasable), &windows, false, true},
        {"image holding C:", record(image, -1, BusUsb, Erasable, L"C:"), &windows, true, false},
        {"internal image, locked", record(image, -1, BusSata, Erasable), &windows, false, false},
        {"internal image, unlocked", record(image, -1, BusSata, InternalUnlocked), &windows, true, true},
        {"unknown system disks lock internal disks", record(L"\\\\.\\PhysicalDrive1", 1, BusSata, InternalUnlocked), &unknown, true, false},
        {"unknown system disks leave USB alone", record(L"\\\\.\\PhysicalDrive2", 2, BusUsb, Erasable), &unknown, false, true},
        {"WinPE: installed system disk", record(L"\\\\.\\PhysicalDrive0", 0, BusSata, Erasable), &winPE, false, true},
        {"WinPE: its boot stick", record(L"\\\\.\\PhysicalDrive4", 4, BusUsb, Erasable), &winPE, false, false},
        {"WinPE without a stick: unnumbered image", record(image, -1, BusSata, Erasable), &winPENoStick, false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RealWriteAllowed(c.disk, *c.environment, c.unlock), c.allowed) << c.what;
    }
}

TEST(SafetyLabel, EveryStatus) {
    EXPECT_EQ(SafetyLabel(0), L"[消去可能] 安全チェックOK");
    EXPECT_EQ(SafetyLabel(1), L"[絶対保護] OS起動システムディスク (消去不可)");
    EXPECT_EQ(SafetyLabel(2), L"[絶対保護] WinPE起動メディア (消去不可)");
    EXPECT_EQ(SafetyLabel(3), L"[保護ロック] 内蔵ディスク (WinPE起動から消去推奨)");
    EXPECT_EQ(SafetyLabel(4), L"[消去可能(注意)] 非ブート内蔵セカンダリディスク");
    EXPECT_EQ(SafetyLabel(5), L"[保護ロック] 不明な状態");
    EXPECT_EQ(SafetyLabel(0xFFFFFFFFu), L"[保護ロック] 不明な状態");
}

TEST(SafetyLabel, OnlyErasableStatusesAllowRealWrites) {
    for (std::uint32_t s = 0; s < 8; ++s) {
        EXPECT_EQ(IsErasableForRealWrite(s), s == 0 || s == 4) << s;
    }
    EXPECT_FALSE(IsErasableForRealWrite(DiskInfo{}.safety)) << "a fresh record must be protected";
}

}  // namespace
}  // namespace morvane
