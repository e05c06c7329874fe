// The report window's guards and the boxes after its commands.
#include "ui/report_guards.h"

#include "disk/safety.h"
#include "ui/report_text.h"

namespace morvane {

StampSwitchDecision DecideStampSwitch(const StampSwitchForm& form) {
    StampSwitchDecision decision;
    decision.question = {kStampSwitchQuestion, kStampSwitchTitle, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON3};
    // Zeroing the first 128 KiB and the partition tables destroys a disk's layout: only
    // a disk known to carry a stamp, or erased by this record, may be switched back.
    if (!form.stampOnDisk && !form.diskErasedByRecord) {
        decision.eraseRefusal = MessageBoxText{kStampEraseRefusedText, kSafetyGuardTitle, MB_OK | MB_ICONWARNING};
    }
    if (form.disk == nullptr) {
        decision.refusal = MessageBoxText{kSelectDiskText, kBoxTitle, MB_OK | MB_ICONWARNING};
    } else if (!IsErasableForRealWrite(form.disk->safety)) {
        decision.refusal = MessageBoxText{kStampProtectedText, kSafetyGuardTitle, MB_OK | MB_ICONWARNING};
    } else if (form.fromDryRun) {
        // A dry run never touched the disk; its report must not pass for an erased disk
        // without the operator knowing the switch writes real sectors.
        decision.dryRunWarning = MessageBoxText{kDryRunStampWarning, kBoxTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2};
    }
    return decision;
}

MessageBoxText StampSwitchDoneBox(bool engraved, const StampAction& action) {
    if (action.ok) return {engraved ? kStampWrittenText : kStampErasedText, kBoxTitle, MB_OK | MB_ICONINFORMATION};
    // The guarded open's reason (the disk changed since the scan, say), or the box would
    // blame the rights alone.
    std::wstring text = engraved ? kStampWriteFailedText : kStampEraseFailedText;
    if (!action.refusal.empty()) text += L"\n\n理由: " + action.refusal;
    return {std::move(text), kBoxTitle, MB_OK | MB_ICONERROR};
}

MessageBoxText DecideSaveElsewhere(const CertificatePaths& paths) {
    if (paths.html.empty()) return {kSaveFailedText, kBoxTitle, MB_OK | MB_ICONERROR};
    return {SaveDoneText(paths), kSaveDoneTitle, MB_OK | MB_ICONINFORMATION};
}

std::optional<MessageBoxText> CertificateOpenBox(const std::wstring& htmlPath, bool fileExists, bool shellOpened) {
    if (htmlPath.empty() || !fileExists) return MessageBoxText{kNoCertificateText, kBoxTitle, MB_OK | MB_ICONINFORMATION};
    if (!shellOpened) return CertificateNotOpenedBox(htmlPath);
    return std::nullopt;
}

MessageBoxText CertificateNotOpenedBox(const std::wstring& htmlPath) {
    return {OpenCertificateFailedText(htmlPath), kBoxTitle, MB_OK | MB_ICONWARNING};
}

MessageBoxText CopyReportBox(bool copied) {
    return copied ? MessageBoxText{kCopiedText, kBoxTitle, MB_OK | MB_ICONINFORMATION}
                  : MessageBoxText{kCopyFailedText, kBoxTitle, MB_OK | MB_ICONERROR};
}

}  // namespace morvane
