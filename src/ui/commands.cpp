// The main window's commands. Each gathers the form, asks a pure decision and shows
// what it says; everything outside the window goes through the services.
#include "ui/commands.h"

#include <algorithm>
#include <filesystem>

#include "evidence/certificate_set.h"
#include "firmware/transport.h"
#include "job/firmware_step.h"
#include "settings/output_folder.h"
#include "ui/folder_picker_model.h"
#include "ui/guards.h"
#include "ui/main_refresh.h"
#include "ui/modal.h"
#include "ui/report_guards.h"
#include "ui/completion.h"
#include "ui/workers.h"

namespace morvane {
namespace {

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring PickFolder(AppState& state, const std::wstring& initial, int targetDisk = -1) {
    const ModalScope modal(state);
    return state.services.PickFolder(state.window, initial, targetDisk);
}

// The folder the evidence will really go to, as a full path: a relative or empty
// entry resolves the way the certificate writer resolves it.
std::wstring EvidenceFolder(const std::wstring& folder) {
    const std::wstring used = folder.empty() ? DefaultCertificateFolder() : folder;
    std::wstring full(MAX_PATH * 4, L'\0');
    const DWORD n = ::GetFullPathNameW(used.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return used;
    full.resize(n);
    return full;
}

// Why `folder` cannot take the evidence now, or false when it can. `blocking`: the
// folder lies on the disk about to be erased (`targetDisk`, -1 for none), where the
// evidence would be destroyed with the disk: no "continue anyway" for that.
bool OutputFolderProblem(AppState& state, const std::wstring& folder, int targetDisk, std::wstring& reason,
                         bool& blocking) {
    blocking = targetDisk >= 0 && FolderOnDisk(EvidenceFolder(folder), state.services.ListDrives(), targetDisk);
    if (blocking) {
        reason = kOnTargetDiskReason;
        return true;
    }
    if (ValidateOutputPath(folder, reason)) return true;
    if (state.services.TestFolderWritable(folder)) return false;
    reason = kFolderNotWritableReason;
    return true;
}

// Asks about an unsuitable output folder until the operator keeps it, picks one that
// is suitable, or cancels (false).
bool SettleOutputFolder(AppState& state, std::wstring& folder, int targetDisk) {
    std::wstring reason;
    bool blocking = false;
    while (OutputFolderProblem(state, folder, targetDisk, reason, blocking)) {
        const int answer = ShowBox(state, OutputFolderQuestion(folder, reason, blocking));
        if (answer == IDNO && !blocking) return true;
        if (answer != IDYES) return false;
        const std::wstring chosen = PickFolder(state, folder, targetDisk);
        if (chosen.empty()) return false;
        ::SetWindowTextW(state.Control(kIdOutputFolder), chosen.c_str());
        SyncSettingsFromControls(state);
        folder = chosen;
    }
    return true;
}

void ChooseOutputFolder(AppState& state) {
    const std::wstring chosen = PickFolder(state, ControlText(state.Control(kIdOutputFolder), kMaxSettingsText));
    if (chosen.empty()) return;
    ::SetWindowTextW(state.Control(kIdOutputFolder), chosen.c_str());
    SyncSettingsFromControls(state);
    AppendLogLine(state, L"[LOG PATH] 証明書・監査ログ保存先を変更しました: " + chosen);
}

// The folder is created when missing, then opened only if it is a directory: the text
// comes from the INI file and must never make the shell run a program.
void OpenOutputFolder(AppState& state) {
    const std::wstring path = ControlText(state.Control(kIdOutputFolder), kMaxSettingsText);
    if (IsDriveAbsolute(path)) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path), ignored);
    }
    if (!IsDriveAbsolute(path) || !IsDirectory(path)) {
        ShowBox(state, FolderNotFoundBox(path));
        return;
    }
    bool opened = false;
    {
        const ModalScope modal(state);
        opened = state.services.ShellOpen(state.window, path);
    }
    // WinPE has no Explorer: say where the folder is instead of doing nothing.
    if (!opened) ShowBox(state, FolderNotOpenedBox(path));
}

void RestartAsAdministrator(AppState& state) {
    if (const auto refusal = RestartRefusal(state.busy.load() != 0)) {
        ShowBox(state, *refusal);
        return;
    }
    bool started = false;
    {
        const ModalScope modal(state);
        started = state.services.RestartAsAdministrator(state.window);
    }
    if (started) ::PostQuitMessage(0);
}

void Abort(AppState& state) {
    if (state.busy.load() == 0) return;
    state.abortRequested.exchange(1);
    AppendLogLine(state, kAbortLine);
    if (state.firmwareStepRunning) AppendLogLine(state, kAbortDuringFirmwareLine);
}

void OpenCertificate(AppState& state) {
    const std::wstring html = state.channel.LastResult().htmlPath;
    if (html.empty() || !IsFile(html)) {
        ShowBox(state, NoCertificateBox());
        return;
    }
    bool opened = false;
    {
        const ModalScope modal(state);
        opened = state.services.ShellOpen(state.window, html);
    }
    if (!opened) ShowBox(state, CertificateNotOpenedBox(html));
}

}  // namespace

void StartErasure(AppState& state) {
    EraseStartForm form;
    form.busy = state.busy.load() != 0;
    if (const DiskInfo* disk = SelectedDisk(state)) form.disk = *disk;
    form.real = ComboSelection(state, kIdMode) == 1;
    form.isWinPE = state.isWinPE == 1;
    form.isAdmin = state.isAdmin == 1;
    form.unlockInternal = IsChecked(state, kIdUnlock);
    form.code = ControlText(state.Control(kIdCode), 63);
    form.settings = SettingsFromControls(state);
    form.notes = ControlText(state.Control(kIdNotes), 511);
    form.uptimeMs = ::GetTickCount64();
    form.winPESimulated = IsChecked(state, kIdSimulateWinPE);
    if (!form.busy && form.disk && form.real) form.realWrite = state.services.JudgeRealWrite(*form.disk, form.unlockInternal);

    const EraseStartDecision decision = DecideEraseStart(form);
    if (decision.saveSettings) SyncSettingsFromControls(state);
    if (decision.refusal) {
        ShowBox(state, *decision.refusal);
        return;
    }
    if (!decision.warningLine.empty()) AppendLogLine(state, decision.warningLine);
    EraseJob job = decision.job;
    // A real erase must not write its evidence onto the disk it erases.
    const int targetDisk = job.execMode == ExecMode::RealHardwareWrite ? job.disk.index : -1;
    if (job.CertificatesWanted() && !SettleOutputFolder(state, job.outputFolder, targetDisk)) return;
    const FirmwareDecision firmware = PlanFirmwareStep(job, RunningUnderCompatibilityLayer(), state.isWinPE == 1);
    if (ShowBox(state, EraseConfirmation(job, firmware)) != IDYES) return;

    if (state.worker.joinable()) state.worker.join();
    state.abortRequested.exchange(0);
    const bool winPE = state.isWinPE == 1;
    AppState* app = &state;
    if (!LaunchWorker(state, [app, job, winPE] { EraseWorker(app->channel, app->abortRequested, job, winPE); })) return;
    state.eraseRunning = true;
    ::EnableWindow(state.Control(kIdEraseStart), FALSE);
    ::EnableWindow(state.Control(kIdAbort), TRUE);
    ::SendMessageW(state.Control(kIdPassBar), PBM_SETPOS, 0, 0);
    ::SendMessageW(state.Control(kIdOverallBar), PBM_SETPOS, 0, 0);
    // Every further real erasure needs the code typed again.
    if (form.real) ::SetWindowTextW(state.Control(kIdCode), L"");
}

void StartAdkInstall(AppState& state) {
    const AdkStartDecision decision = DecideAdkStart(state.busy.load() != 0, ComboSelection(state, kIdAdkChoice),
                                                     ControlText(state.Control(kIdOutputFolder), kMaxSettingsText));
    if (decision.refusal) {
        ShowBox(state, *decision.refusal);
        return;
    }
    if (ShowBox(state, decision.question) != IDYES) return;
    WorkerChannel* channel = &state.channel;
    const int choice = decision.choice;
    const std::wstring dir = decision.downloadDir;
    if (!LaunchWorker(state, [channel, choice, dir] { AdkWorker(*channel, choice, dir); })) return;
    ::EnableWindow(state.Control(kIdAdkStart), FALSE);
    ::EnableWindow(state.Control(kIdWinPEStart), FALSE);
}

void StartWinPEBuild(AppState& state) {
    WinPEStartForm form;
    form.busy = state.busy.load() != 0;
    form.isAdmin = state.isAdmin == 1;
    form.adkStatus = form.busy || !form.isAdmin ? AdkMissing : state.services.QueryAdk().status;
    form.outputSelection = ComboSelection(state, kIdMedium);
    form.archSelection = ComboSelection(state, kIdArch);
    form.bootSelection = ComboSelection(state, kIdBoot);
    form.usbText = ControlText(state.Control(kIdUsbTarget), 255);
    WinPEStartDecision decision = DecideWinPEStart(form);
    if (decision.refusal) {
        ShowBox(state, *decision.refusal);
        return;
    }
    if (decision.question && ShowBox(state, *decision.question) != IDYES) return;
    if (!decision.isoProposal.empty()) {
        const ModalScope modal(state);
        decision.options.isoPath = state.services.AskIsoSavePath(state.window, decision.isoProposal);
        if (decision.options.isoPath.empty()) return;
    }
    WorkerChannel* channel = &state.channel;
    const WinPEBuildOptions options = decision.options;
    if (!LaunchWorker(state, [channel, options] { WinPEWorker(*channel, options); })) return;
    ::EnableWindow(state.Control(kIdAdkStart), FALSE);
    ::EnableWindow(state.Control(kIdWinPEStart), FALSE);
}

void OpenReportScreen(AppState& state) {
    const EraseResult last = state.channel.LastResult();
    const DiskInfo* disk = SelectedDisk(state);
    const ReportPlan plan = DecideReport(state.busy.load() != 0, last, disk);
    if (plan.refusal) {
        ShowBox(state, *plan.refusal);
        return;
    }
    ReportRequest request;
    if (plan.useResult) {
        request.stamp = last.stamp;
        request.htmlPath = last.htmlPath;
        request.result = last;
    }
    if (disk) request.disk = *disk;
    request.unlockInternal = IsChecked(state, kIdUnlock);
    if (request.stamp.failed && disk) {
        request.hardware = state.services.CollectHardware(*disk);
        request.stamp = state.services.DetectStamp(*disk, *request.hardware);
        request.stampDetected = !request.stamp.failed;
        if (request.stampDetected) {
            AppendLogLine(state, L"[DISK STAMP] Disk " + std::to_wstring(disk->index) +
                                     L" から実機消去＆ハードウェアレポートスタンプを検出しました！");
        }
    }
    const ModalScope modal(state);
    state.services.ShowReport(state.window, request);
}

void OnClose(AppState& state) {
    if (state.closeWhenIdle) return;  // already waiting for the worker
    if (state.busy.load() == 0) {
        SyncSettingsFromControls(state);
        ::DestroyWindow(state.window);
        return;
    }
    if (ShowBox(state, CloseQuestion()) != IDYES) return;
    state.abortRequested.exchange(1);
    SyncSettingsFromControls(state);
    // The window stays until the worker returns: a WinPE build must unmount its image,
    // and an erasure stops only at its next abort check.
    state.closeWhenIdle = true;
    ::SetWindowTextW(state.Control(kIdStatus), state.eraseRunning ? kClosingAfterEraseStatus : kClosingAfterToolStatus);
}

void OnCommand(AppState& state, int id, int code) {
    switch (id) {
        case kIdRescan:
        case kIdSimulateWinPE:
        case kIdUnlock:
            if (code == BN_CLICKED) RefreshDiskList(state);
            break;
        case kIdStandard:
            if (code == CBN_SELCHANGE) UpdateStandardDescription(state);
            break;
        case kIdMode:
            // The confirmation code given before counts for the simulation only: every
            // switch to the real mode asks for it to be typed again.
            if (code == CBN_SELCHANGE && ComboSelection(state, kIdMode) == 1) {
                ::SetWindowTextW(state.Control(kIdCode), L"");
            }
            break;
        case kIdLogOutput:
            if (code == BN_CLICKED) {
                UpdateLogControls(state);
                SyncSettingsFromControls(state);
            }
            break;
        case kIdChooseFolder: ChooseOutputFolder(state); break;
        case kIdOpenFolder: OpenOutputFolder(state); break;
        case kIdRestart: RestartAsAdministrator(state); break;
        case kIdEraseStart: StartErasure(state); break;
        case kIdAbort: Abort(state); break;
        case kIdReport: OpenReportScreen(state); break;
        case kIdOpenCertificate: OpenCertificate(state); break;
        case kIdAdkStart: StartAdkInstall(state); break;
        case kIdWinPEStart: StartWinPEBuild(state); break;
        default: break;
    }
}

}  // namespace morvane
