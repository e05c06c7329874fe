// A UiServices for window tests: records every message box, shell call, report and
// pick, answers boxes from a queue (then Yes for Yes/No boxes, OK otherwise), and
// serves disks, drives and settings from plain fields. Stamps are read from the disk
// record's device path: image files in tests. Nothing reaches the real shell,
// clipboard or disks.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "disk/guarded_open.h"
#include "stamp/detect.h"
#include "ui/services.h"

namespace morvane::testing {

struct RecordedBox {
    std::wstring text;
    std::wstring title;
    UINT style = 0;
};

class FakeUiServices : public UiServices {
public:
    std::deque<int> boxAnswers;
    std::vector<RecordedBox> boxes;
    std::function<void(const RecordedBox&)> onBox;  // runs while a box is "shown"
    std::vector<std::wstring> shellOpened, clipboard, pickRequests;
    std::deque<std::wstring> pickAnswers;  // empty answer = cancelled
    std::vector<int> pickTargets;           // the disk each pick was asked to refuse (-1: none)
    bool shellOpenResult = true, clipboardResult = true, admin = true;
    int restarts = 0, hardwareCollections = 0;
    std::wstring browseAnswer;
    std::vector<DiskInfo> disks;
    // The machine the real-write judgement asks: Windows (not WinPE), no system disk
    // among the images; the identity of a device path is read from the image file.
    SafetyEnvironment machine{false, {{}, true}, -1, {}};
    DiskIdentitySource identity;
    std::vector<std::pair<bool, bool>> scans;  // (winPE, unlockInternal) of every scan
    std::vector<DriveFacts> drives;
    std::function<bool(const std::wstring&)> folderWritable = [](const std::wstring&) { return true; };
    HardwareProfile hardware = [] { HardwareProfile h; h.manufacturer = L"Fake Manufacturer"; return h; }();
    AppSettings settings;
    std::vector<AppSettings> saved;
    std::vector<ReportRequest> reports;

    int ShowMessage(HWND, const std::wstring& text, const std::wstring& title, UINT style) override {
        boxes.push_back({text, title, style});
        if (onBox) onBox(boxes.back());
        const UINT buttons = style & MB_TYPEMASK;
        return Next(boxAnswers, buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK);
    }
    bool ShellOpen(HWND, const std::wstring& path) override { return shellOpened.push_back(path), shellOpenResult; }
    bool RestartAsAdministrator(HWND) override { return ++restarts, true; }
    std::wstring AskIsoSavePath(HWND, const std::wstring&) override { return {}; }
    std::wstring BrowseForFolder(HWND, const std::wstring&) override { return browseAnswer; }
    bool SetClipboardText(HWND, const std::wstring& text) override { return clipboard.push_back(text), clipboardResult; }
    bool IsWinPE() override { return false; }
    bool IsRunningAsAdmin() override { return admin; }
    std::vector<DiskInfo> ScanDisks(bool winPE, bool unlockInternal) override {
        scans.emplace_back(winPE, unlockInternal);
        return disks;
    }
    WriteJudgement JudgeRealWrite(const DiskInfo& disk, bool unlockInternal) override {
        return JudgeDiskForWrite(disk, unlockInternal, {identity, {}, [this] { return machine; }});
    }
    std::vector<std::wstring> RemovableDriveEntries() override { return {}; }
    AdkState QueryAdk() override { return {AdkReady, true}; }
    std::vector<DriveFacts> ListDrives() override { return drives; }
    bool TestFolderWritable(const std::wstring& folder) override { return folderWritable(folder); }
    HardwareProfile CollectHardware(const DiskInfo&) override { return ++hardwareCollections, hardware; }
    ReportStamp DetectStamp(const DiskInfo& disk, const HardwareProfile& p) override { return DetectReportStamp(disk, p); }
    AppSettings LoadSettings() override { return settings; }
    void SaveSettings(const AppSettings& value) override { saved.push_back(settings = value); }
    void ShowReport(HWND, const ReportRequest& request) override { reports.push_back(request); }
    std::wstring PickFolder(HWND, const std::wstring& initialPath, int targetDisk) override {
        pickTargets.push_back(targetDisk);
        return pickRequests.push_back(initialPath), Next(pickAnswers, std::wstring());
    }

private:
    template <typename T>
    static T Next(std::deque<T>& queue, T otherwise) {
        if (queue.empty()) return otherwise;
        T next = queue.front();
        queue.pop_front();
        return next;
    }
};

}  // namespace morvane::testing
