// The report window's decisions as pure functions, in the manner of the main window's
// guards: each takes plain facts and returns the boxes to show (a message box as a
// value). The window gathers the facts, runs the job-layer action the decision allows
// and shows what these say.
#pragma once

#include <optional>
#include <string>

#include "disk/disk_info.h"
#include "evidence/certificate_set.h"
#include "job/report_actions.h"
#include "ui/message_box.h"

namespace morvane {

struct StampSwitchForm {
    const DiskInfo* disk = nullptr;  // the report's disk; none when the main window had no selection
    bool fromDryRun = false;         // the report shows a dry run's record
    // A report stamp is on this disk: detected when the report opened, or engraved here.
    bool stampOnDisk = false;
    // The report's record is this disk's completed real erasure.
    bool diskErasedByRecord = false;
};

struct StampSwitchDecision {
    std::optional<MessageBoxText> refusal;
    // Asked first when set; any answer but Yes ends the command.
    std::optional<MessageBoxText> dryRunWarning;
    // Yes: zero the stamp area; No: engrave the stamp; Cancel (the default): nothing.
    MessageBoxText question;
    // Shown instead of zeroing when Yes is answered: the disk may still hold data.
    std::optional<MessageBoxText> eraseRefusal;
};

[[nodiscard]] StampSwitchDecision DecideStampSwitch(const StampSwitchForm& form);
// The box after the switch's action: `engraved` for the No answer, else the stamp erase.
[[nodiscard]] MessageBoxText StampSwitchDoneBox(bool engraved, const StampAction& action);

// The box after "save to another drive": where the set went, or that it could not go.
[[nodiscard]] MessageBoxText DecideSaveElsewhere(const CertificatePaths& paths);

// "Open certificate": the box when there is no certificate file to open, or when the
// shell could not open the one there is; nothing when it opened.
[[nodiscard]] std::optional<MessageBoxText> CertificateOpenBox(const std::wstring& htmlPath, bool fileExists,
                                                               bool shellOpened);

// The shell could not open the certificate (WinPE has no browser): where it is.
[[nodiscard]] MessageBoxText CertificateNotOpenedBox(const std::wstring& htmlPath);

[[nodiscard]] MessageBoxText CopyReportBox(bool copied);

}  // namespace morvane
