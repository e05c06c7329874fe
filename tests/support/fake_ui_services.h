// A UiServices for window tests: records every message box, shell call, dialog and
// nested window, answers message boxes from a queue (OK/Yes by default), and serves
// disks, drives, kit state and settings from plain fields. Nothing reaches the real
// shell, clipboard or disks unless a test sets `passThroughStamps` (image files only).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "stamp/detect.h"
#include "ui/services.h"

namespace morvane::testing {

struct RecordedBox {
    std::wstring text;
    std::wstring title;
    UINT style = 0;
    UINT Icon() const { return style & MB_ICONMASK; }
    UINT Buttons() const { return style & MB_TYPEMASK; }
    UINT DefaultButton() const { return style & MB_DEFMASK; }
};

class FakeUiServices : public UiServices {
public:
    // Answers for the next message boxes, in order; when empty, IDYES for Yes/No
    // boxes and IDOK otherwise.
    std::deque<int> boxAnswers;
    std::vector<RecordedBox> boxes;
    // Called while a message box is "shown" (e.g. to post a message meanwhile).
    std::function<void(const RecordedBox&)> onBox;

    std::vector<std::wstring> shellOpened;
    bool shellOpenResult = true;
    int restarts = 0;
    bool restartResult = true;
    std::wstring isoPathAnswer;
    std::vector<std::wstring> isoProposals;
    std::wstring browseAnswer;
    std::vector<std::wstring> clipboard;
    bool clipboardResult = true;

    bool winPE = false;
    bool admin = true;
    std::vector<DiskInfo> disks;
    std::vector<std::pair<bool, bool>> scans;  // (winPE, unlockInternal) of every scan
    std::vector<std::wstring> removableEntries;
    AdkState adk{0, true};
    std::vector<DriveFacts> drives;
    std::function<bool(const std::wstring&)> folderWritable = [](const std::wstring&) { return true; };
    HardwareProfile hardware = [] {
        HardwareProfile h;
        h.manufacturer = L"Fake Manufacturer";
        h.processor = L"Fake CPU";
        return h;
    }();
    int hardwareCollections = 0;
    // Reads stamps from the disk record's device path (image files in tests).
    bool passThroughStamps = true;

    AppSettings settings;
    std::vector<AppSettings> saved;

    std::vector<ReportRequest> reports;
    std::function<void(HWND, const ReportRequest&)> onReport;
    std::deque<std::wstring> pickAnswers;  // empty answer = cancelled
    std::vector<std::wstring> pickRequests;

    int ShowMessage(HWND, const std::wstring& text, const std::wstring& title, UINT style) override {
        boxes.push_back({text, title, style});
        if (onBox) onBox(boxes.back());
        if (!boxAnswers.empty()) {
            const int answer = boxAnswers.front();
            boxAnswers.pop_front();
            return answer;
        }
        const UINT buttons = style & MB_TYPEMASK;
        return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
    }
    bool ShellOpen(HWND, const std::wstring& path) override {
        shellOpened.push_back(path);
        return shellOpenResult;
    }
    bool RestartAsAdministrator(HWND) override {
        ++restarts;
        return restartResult;
    }
    std::wstring AskIsoSavePath(HWND, const std::wstring& proposedName) override {
        isoProposals.push_back(proposedName);
        return isoPathAnswer;
    }
    std::wstring BrowseForFolder(HWND, const std::wstring&) override { return browseAnswer; }
    bool SetClipboardText(HWND, const std::wstring& text) override {
        clipboard.push_back(text);
        return clipboardResult;
    }

    bool IsWinPE() override { return winPE; }
    bool IsRunningAsAdmin() override { return admin; }
    std::vector<DiskInfo> ScanDisks(bool winPEFlag, bool unlockInternal) override {
        scans.emplace_back(winPEFlag, unlockInternal);
        return disks;
    }
    std::vector<std::wstring> RemovableDriveEntries() override { return removableEntries; }
    AdkState QueryAdk() override { return adk; }
    std::vector<DriveFacts> ListDrives() override { return drives; }
    bool TestFolderWritable(const std::wstring& folder) override { return folderWritable(folder); }

    HardwareProfile CollectHardware(const DiskInfo&) override {
        ++hardwareCollections;
        return hardware;
    }
    ReportStamp DetectStamp(const DiskInfo& disk, const HardwareProfile& profile) override {
        if (passThroughStamps) return DetectReportStamp(disk, profile);
        return PrefilledReportStamp(disk, profile);
    }

    AppSettings LoadSettings() override { return settings; }
    void SaveSettings(const AppSettings& value) override {
        settings = value;
        saved.push_back(value);
    }

    void ShowReport(HWND owner, const ReportRequest& request) override {
        reports.push_back(request);
        if (onReport) onReport(owner, request);
    }
    std::wstring PickFolder(HWND, const std::wstring& initialPath) override {
        pickRequests.push_back(initialPath);
        if (pickAnswers.empty()) return {};
        std::wstring answer = pickAnswers.front();
        pickAnswers.pop_front();
        return answer;
    }
};

}  // namespace morvane::testing
