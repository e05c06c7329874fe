// Safety classification of the scanned disks and the WinPE / administrator checks.
#include "disk/safety.h"

#include <algorithm>

#include "common/unique_handle.h"
#include "common/win32.h"

namespace morvane {

namespace {
constexpr const wchar_t* kDescSystemDisk =
    L"現在のWindows OSが稼働しているシステム起動ディスクのため、安全保護ロックにより消去できません。";
constexpr const wchar_t* kDescBootMedium = L"現在起動中のWinPEメディア自体のため、保護ロックされています。";
constexpr const wchar_t* kDescWinPE = L"WinPEモード: 内蔵・外部ストレージとして安全に完全消去可能です。";
constexpr const wchar_t* kDescRemovable =
    L"外部/リムーバブルストレージ: Windows上から安全に完全消去可能です。";
constexpr const wchar_t* kDescUnlocked =
    L"内蔵セカンダリディスク (ロック解除中 - 消去時は十分ご注意ください)";
constexpr const wchar_t* kDescSystemUnknown =
    L"システムディスクを特定できなかったため、誤消去防止のため内蔵ストレージはすべて保護されています(WinPE起動で消去可能)。";
constexpr const wchar_t* kDescLocked =
    L"内蔵ストレージです。通常Windows上では誤消去防止のため保護されています(WinPE起動または上級者ロック解除で消去可能)。";
}  // namespace

std::wstring SafetyLabel(std::uint32_t status) {
    switch (status) {
        case Erasable: return L"[消去可能] 安全チェックOK";
        case SystemDisk: return L"[絶対保護] OS起動システムディスク (消去不可)";
        case WinPEBootMedium: return L"[絶対保護] WinPE起動メディア (消去不可)";
        case InternalLocked: return L"[保護ロック] 内蔵ディスク (WinPE起動から消去推奨)";
        case InternalUnlocked: return L"[消去可能(注意)] 非ブート内蔵セカンダリディスク";
        default: return L"[保護ロック] 不明な状態";
    }
}

void ClassifyDisks(std::vector<DiskInfo>& disks, bool winPE, bool unlockInternal,
                   int systemDiskNumber, int bootMediumDiskNumber) {
    SystemDisks system{{}, true};
    if (systemDiskNumber >= 0) system.numbers.push_back(static_cast<std::uint32_t>(systemDiskNumber));
    ClassifyDisks(disks, winPE, unlockInternal, system, bootMediumDiskNumber);
}

void ClassifyDisks(std::vector<DiskInfo>& disks, bool winPE, bool unlockInternal,
                   const SystemDisks& systemDisks, int bootMediumDiskNumber) {
    const auto& system = systemDisks.numbers;
    for (DiskInfo& disk : disks) {
        if (disk.driveLetters.empty()) disk.driveLetters = kNoDriveLetters;
        const bool holdsC = HoldsDriveC(disk);
        const bool systemNumber =
            disk.index >= 0 &&
            std::find(system.begin(), system.end(), static_cast<std::uint32_t>(disk.index)) != system.end();
        if (!winPE) {
            if (systemNumber || holdsC) {
                disk.safety = SystemDisk;
                disk.safetyDescription = kDescSystemDisk;
                continue;
            }
        } else if (bootMediumDiskNumber >= 0 && disk.index == bootMediumDiskNumber) {
            disk.safety = WinPEBootMedium;
            disk.safetyDescription = kDescBootMedium;
            continue;
        }
        const bool removableLike = disk.busKind == BusUsb || disk.busKind == BusSdCard ||
                                   disk.busKind == BusMmc || disk.mediaKind == MediaRemovable;
        if (winPE || removableLike) {
            disk.safety = Erasable;
            disk.safetyDescription = winPE ? kDescWinPE : kDescRemovable;
        } else if (!systemDisks.resolved) {
            // Any internal disk may be the one the running Windows lives on.
            disk.safety = InternalLocked;
            disk.safetyDescription = kDescSystemUnknown;
        } else if (unlockInternal) {
            disk.safety = InternalUnlocked;
            disk.safetyDescription = kDescUnlocked;
        } else {
            disk.safety = InternalLocked;
            disk.safetyDescription = kDescLocked;
        }
    }
}

bool IsWinPE() {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0,
                        KEY_READ, key.put()) == ERROR_SUCCESS) {
        return true;
    }
    wchar_t systemDir[MAX_PATH] = {};
    if (::GetSystemDirectoryW(systemDir, MAX_PATH) == 0) return false;
    return systemDir[0] == L'X' || systemDir[0] == L'x';
}

bool IsRunningAsAdmin() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID adminGroup = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &adminGroup)) {
        return false;
    }
    BOOL member = FALSE;
    if (!::CheckTokenMembership(nullptr, adminGroup, &member)) member = FALSE;
    ::FreeSid(adminGroup);
    return member != FALSE;
}

}  // namespace morvane
