// The real services: one Win32 or product call per operation.
#include <cstring>

#include "common/files.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "disk/disk_scan.h"
#include "disk/guarded_open.h"
#include "disk/safety.h"
#include "hwinfo/collect.h"
#include "settings/output_folder.h"
#include "stamp/detect.h"
#include "ui/folder_picker.h"
#include "ui/report_window.h"
#include "ui/services.h"
#include "winpe/adk.h"

namespace morvane {
namespace {

class SystemServices final : public UiServices {
public:
    int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& title, UINT style) override {
        return ::MessageBoxW(owner, text.c_str(), title.c_str(), style);
    }

    bool ShellOpen(HWND owner, const std::wstring& path) override {
        const auto code = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return code > 32;  // ShellExecuteW reports failure with values up to 32
    }

    bool RestartAsAdministrator(HWND owner) override {
        const std::wstring self = OwnExecutablePath();
        const auto code = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(owner, L"runas", self.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return code > 32;
    }

    std::wstring AskIsoSavePath(HWND owner, const std::wstring& proposedName) override {
        wchar_t file[MAX_PATH] = {};
        proposedName.copy(file, MAX_PATH - 1);
        static constexpr wchar_t kFilter[] = L"ISO Image (*.iso)\0*.iso\0All Files (*.*)\0*.*\0";
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = kFilter;
        dialog.lpstrFile = file;
        dialog.nMaxFile = MAX_PATH;
        dialog.lpstrDefExt = L"iso";
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        if (!::GetSaveFileNameW(&dialog)) return {};
        return file;
    }

    std::wstring BrowseForFolder(HWND owner, const std::wstring& title) override {
        BROWSEINFOW browse{};
        browse.hwndOwner = owner;
        browse.lpszTitle = title.c_str();
        browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
        if (chosen == nullptr) return {};
        wchar_t path[MAX_PATH] = {};
        const bool ok = ::SHGetPathFromIDListW(chosen, path) != FALSE;
        ::CoTaskMemFree(chosen);
        return ok ? std::wstring(path) : std::wstring();
    }

    bool SetClipboardText(HWND owner, const std::wstring& text) override {
        if (!::OpenClipboard(owner)) return false;
        ScopeExit close([] { ::CloseClipboard(); });
        ::EmptyClipboard();
        const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
        if (block == nullptr) return false;
        void* data = ::GlobalLock(block);
        if (data == nullptr) {
            ::GlobalFree(block);
            return false;
        }
        std::memcpy(data, text.c_str(), bytes);
        ::GlobalUnlock(block);
        // On success the clipboard owns the block.
        if (::SetClipboardData(CF_UNICODETEXT, block) == nullptr) {
            ::GlobalFree(block);
            return false;
        }
        return true;
    }

    bool IsWinPE() override { return morvane::IsWinPE(); }
    bool IsRunningAsAdmin() override { return morvane::IsRunningAsAdmin(); }
    std::vector<DiskInfo> ScanDisks(bool winPE, bool unlockInternal) override {
        return EnumeratePhysicalDisks(winPE, unlockInternal);
    }
    WriteJudgement JudgeRealWrite(const DiskInfo& disk, bool unlockInternal) override {
        return JudgeDiskForWrite(disk, unlockInternal);
    }
    std::vector<std::wstring> RemovableDriveEntries() override { return ListRemovableDrives(); }
    AdkState QueryAdk() override { return {static_cast<AdkStatus>(GetAdkStatus()), HasX86WinPE()}; }

    std::vector<DriveFacts> ListDrives() override {
        const std::vector<VolumeExtents> volumes = QueryMountedVolumes();
        std::vector<DriveFacts> drives;
        for (const std::wstring& root : LogicalDriveRoots()) {
            if (root.size() < 2) continue;
            DriveFacts facts;
            facts.root = root;
            facts.type = ::GetDriveTypeW(root.c_str());
            wchar_t label[129] = {};
            wchar_t fileSystem[65] = {};
            if (::GetVolumeInformationW(root.c_str(), label, 129, nullptr, nullptr, nullptr, fileSystem, 65)) {
                facts.label = label;
                facts.fileSystem = fileSystem;
            }
            ULARGE_INTEGER freeBytes{};
            if (::GetDiskFreeSpaceExW(root.c_str(), &freeBytes, nullptr, nullptr)) facts.freeBytes = freeBytes.QuadPart;
            for (const VolumeExtents& volume : volumes) {
                if (!volume.root.empty() && UpperAscii(volume.root[0]) == UpperAscii(root[0])) {
                    facts.diskNumbers = volume.diskNumbers;
                }
            }
            drives.push_back(std::move(facts));
        }
        return drives;
    }

    bool TestFolderWritable(const std::wstring& folder) override { return morvane::TestFolderWritable(folder); }

    HardwareProfile CollectHardware(const DiskInfo& disk) override { return CollectHardwareProfile(disk); }
    ReportStamp DetectStamp(const DiskInfo& disk, const HardwareProfile& hardware) override {
        return DetectReportStamp(disk, hardware);
    }

    AppSettings LoadSettings() override { return morvane::LoadSettings(); }
    void SaveSettings(const AppSettings& settings) override { morvane::SaveSettings(settings); }

    void ShowReport(HWND owner, const ReportRequest& request) override { ShowReportWindow(owner, request, *this); }
    std::wstring PickFolder(HWND owner, const std::wstring& initialPath, int targetDisk) override {
        return PickOutputFolder(owner, initialPath, targetDisk, *this);
    }
};

}  // namespace

UiServices& SystemUiServices() {
    static SystemServices services;
    return services;
}

}  // namespace morvane
