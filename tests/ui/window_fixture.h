// The one fixture of the window tests: the real windows under Wine with the recording
// services, image files in a private folder standing in for USB disks.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "erase/standards.h"
#include "evidence/certificate_set.h"
#include "support/fake_ui_services.h"
#include "support/stamp_samples.h"
#include "support/temp_dir.h"
#include "ui/app_state.h"
#include "ui/main_refresh.h"
#include "ui/main_window.h"
#include "ui/report_window.h"

namespace morvane {

class UiWindowTest : public ::testing::Test {
protected:
    testing::FakeUiServices services;
    testing::TempDir dir;
    std::unique_ptr<AppState> state;  // the main window's
    HWND window = nullptr;            // a report or picker window

    UiWindowTest() {
        services.settings.certOutputDir = dir.path().wstring();
        services.disks = {ImageDisk(L"a.img", 77, L"E:"), ImageDisk(L"b.img", 78, L"C:, D:")};
        services.disks[1].safety = 1, services.disks[1].serialNumber = L"OS-78";  // never written
    }
    ~UiWindowTest() override {
        CloseMain();
        if (::IsWindow(window)) ::DestroyWindow(window);
        for (MSG message; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        }
    }

    // A 4 MiB image file in the test's folder (made once), named as a scan names a plain
    // file (the write guard checks the name again), placed as a USB disk.
    DiskInfo ImageDisk(const std::wstring& name = L"disk.img", int index = 1, const std::wstring& letters = L"E:") {
        DiskInfo disk;
        disk.index = index, disk.devicePath = dir.file(name), disk.sizeBytes = 4u << 20;
        EXPECT_TRUE(std::filesystem::exists(disk.devicePath) || testing::CreateImageFile(disk.devicePath, disk.sizeBytes));
        disk.model = L"Generic Physical Disk", disk.serialNumber = L"N/A";
        disk.mediaKind = MediaRemovable, disk.busKind = BusUsb, disk.driveLetters = letters, disk.safety = 0;
        return disk;
    }
    // Dispatches messages until `done`; a worker or window that never gets there fails
    // the test after `seconds` instead of running into the test runner's limit.
    static void PumpUntil(const std::function<bool()>& done, int seconds = 60) {
        const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
        for (MSG message; !done();) {
            if (::GetTickCount64() > deadline) {
                ADD_FAILURE() << "still waiting after " << seconds << " s";
                return;
            }
            if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::DispatchMessageW(&message);
            } else {
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            }
        }
    }
    // A button press as the parent window receives it.
    static void Click(HWND parent, int id) {
        ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(parent, id)));
    }
    const testing::RecordedBox& LastBox() const { return services.boxes.back(); }
    static bool Has(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

    // ---- The main window.
    void OpenMain() {
        CloseMain();
        state = std::make_unique<AppState>(services);
        ASSERT_TRUE(CreateMainWindow(*state, ::GetModuleHandleW(nullptr), SW_HIDE));
    }
    void CloseMain() {
        if (state && state->window) ::DestroyWindow(state->window);
        state.reset();
    }
    HWND Ctl(ControlId id) const { return state->Control(id); }
    std::wstring Text(ControlId id) const { return ControlText(Ctl(id), 1 << 20); }
    bool Enabled(ControlId id) const { return ::IsWindowEnabled(Ctl(id)) != FALSE; }
    void Click(ControlId id) { Click(state->window, id); }
    // A combo selection as the operator makes it: the window hears of the change.
    void Choose(ControlId id, int index) {
        ::SendMessageW(Ctl(id), CB_SETCURSEL, index, 0);
        ::SendMessageW(state->window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Ctl(id)));
    }
    void Type(ControlId id, const std::wstring& text) { ::SetWindowTextW(Ctl(id), text.c_str()); }
    void SetCheck(ControlId id, bool on) {
        ::SendMessageW(Ctl(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        Click(id);
    }
    void SelectRow(int row) { ListView_SetItemState(Ctl(kIdDiskList), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED); }
    // A quick run: zero fill unless told otherwise, no verification, no stamp, the code typed.
    void PrepareQuickRun(bool real, int standard = ZeroFill) {
        Choose(kIdStandard, standard), Choose(kIdVerify, 0), Choose(kIdStamp, 1), Choose(kIdMode, real ? 1 : 0);
        Type(kIdCode, L"ERASE");
    }
    void PumpUntilIdle() { PumpUntil([&] { return state->busy.load() == 0; }); }
    std::vector<std::wstring> ConsoleLines() const {
        std::vector<std::wstring> lines;
        const std::wstring text = Text(kIdConsole);
        for (std::size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
            lines.push_back(text.substr(at, end - at));
        }
        return lines;
    }

    // ---- The report window.
    // The sample record as a completed real erasure of `disk` carries it.
    static ReportStamp StampFor(const DiskInfo& disk) {
        ReportStamp stamp = testing::SampleReportStamp();
        stamp.diskModel = disk.model, stamp.diskSerial = disk.serialNumber, stamp.diskCapacity = FormatSize(disk.sizeBytes);
        return stamp;
    }
    // A completed run's result for `disk`, sealed as the erase job seals it.
    static EraseResult RunResult(const DiskInfo& disk, ExecMode mode) {
        EraseResult r;
        r.certificateId = L"ZOLT-20310102-030405-0A0B0C0D";
        r.startTime = r.endTime = L"2031-01-02 03:04:05";
        r.job.disk = disk, r.job.execMode = mode, r.status = JobStatus::Completed;
        r.passesCompleted = r.passesPlanned = 1, r.verificationResult = L"PASSED";
        r.sha256Fingerprint = ComputeFingerprint(r);
        r.stamp = StampFor(disk), r.stamp.certificateId = r.certificateId;
        return r;
    }
    static ReportRequest Request(const ReportStamp& stamp, std::optional<EraseResult> result,
                                 std::optional<DiskInfo> disk) {
        ReportRequest request;
        request.stamp = stamp, request.result = std::move(result), request.disk = std::move(disk);
        return request;
    }
    void OpenReport(const ReportRequest& request) {
        window = CreateReportWindow(nullptr, request, services);
        ASSERT_NE(window, nullptr);
    }
    void Press(int id) { Click(window, id); }
    // The report as the window holds it now, read through its copy button.
    std::wstring Copied() {
        Press(kReportCopy);
        return services.clipboard.empty() ? L"" : services.clipboard.back();
    }
};
using MainWindowTest = UiWindowTest;
using ReportWindowTest = UiWindowTest;
using FolderPickerWindowTest = UiWindowTest;

}  // namespace morvane
