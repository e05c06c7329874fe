// The real-write safety decision: the target's path, then the disk classified again
// against the machine's own facts.
#include "disk/write_safety.h"

#include <cwctype>

#include "disk/safety.h"

namespace morvane {

namespace {

bool StartsWithNoCase(const std::wstring& text, std::size_t at, const wchar_t* prefix) {
    for (std::size_t i = 0; prefix[i] != L'\0'; ++i) {
        if (at + i >= text.size() || std::towlower(text[at + i]) != std::towlower(prefix[i])) return false;
    }
    return true;
}

bool IsDriveRoot(const std::wstring& text, std::size_t at) {
    return at + 2 < text.size() && std::iswalpha(text[at]) && text[at + 1] == L':' && text[at + 2] == L'\\';
}

// Disk N of "PhysicalDriveN" filling `text` from `at` to its end.
int PhysicalDriveNumberAt(const std::wstring& text, std::size_t at) {
    constexpr wchar_t kName[] = L"physicaldrive";
    if (!StartsWithNoCase(text, at, kName)) return -1;
    at += sizeof kName / sizeof kName[0] - 1;
    if (at == text.size() || text.size() - at > 4) return -1;
    int number = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < L'0' || text[at] > L'9') return -1;
        number = number * 10 + (text[at] - L'0');
    }
    return number;
}

}  // namespace

SafetyEnvironment QuerySafetyEnvironment() {
    SafetyEnvironment environment;
    environment.winPE = IsWinPE();
    environment.systemDisks = QuerySystemDisks();
    environment.bootMediumDisk = environment.winPE ? FindWinPEBootDisk() : -1;
    environment.volumes = QueryMountedVolumes();
    return environment;
}

WriteTarget ParseWriteTarget(const std::wstring& rawPath) {
    std::wstring path = rawPath;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    const bool device = path.rfind(L"\\\\.\\", 0) == 0;
    const bool verbatim = path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\??\\", 0) == 0;
    if (!device && !verbatim) return {WriteTargetKind::PlainFile, -1};
    const int number = PhysicalDriveNumberAt(path, 4);
    if (number >= 0) return {WriteTargetKind::PhysicalDrive, number};
    // A verbatim file path ("\\?\D:\images\disk.img", "\\?\UNC\server\share\...") stays a file.
    if (verbatim && (IsDriveRoot(path, 4) || StartsWithNoCase(path, 4, L"UNC\\"))) {
        return {WriteTargetKind::PlainFile, -1};
    }
    return {WriteTargetKind::OtherDevice, -1};
}

WriteJudgement JudgeRealWrite(const DiskInfo& disk, const SafetyEnvironment& environment, bool unlockInternal) {
    const WriteTarget target = ParseWriteTarget(disk.devicePath);
    // A record whose number and path disagree cannot say which disk it protects.
    if (target.kind == WriteTargetKind::OtherDevice ||
        (target.kind == WriteTargetKind::PhysicalDrive && disk.index != target.diskNumber)) {
        return {WriteVerdict::Unidentified, {}};
    }
    std::vector<DiskInfo> probe(1);
    probe[0].busKind = disk.busKind;
    probe[0].mediaKind = disk.mediaKind;
    probe[0].index = disk.index;
    if (target.kind == WriteTargetKind::PhysicalDrive) {
        AssignDriveLetters(probe, environment.volumes);
    } else {
        probe[0].driveLetters = disk.driveLetters;
    }
    ClassifyDisks(probe, environment.winPE, unlockInternal, environment.systemDisks, environment.bootMediumDisk);
    const DiskInfo& real = probe[0];
    if (!environment.winPE && HoldsDriveC(real)) return {WriteVerdict::SystemDrive, real.safetyDescription};
    if (!IsErasableForRealWrite(real.safety)) return {WriteVerdict::Protected, real.safetyDescription};
    // Undefined safety values are refused too: only the two writable states pass.
    if (!IsErasableForRealWrite(disk.safety)) {
        return {WriteVerdict::Protected, disk.safetyDescription.empty() ? SafetyLabel(disk.safety) : disk.safetyDescription};
    }
    return {WriteVerdict::Allowed, {}};
}

}  // namespace morvane
