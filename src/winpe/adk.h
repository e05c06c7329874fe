// Deployment-kit detection (where the kit is and how complete it is) and its
// unattended download and installation.
#pragma once

#include <string>
#include <vector>

#include "common/log_callback.h"
#include "winpe/winpe_host.h"

namespace morvane {

inline constexpr const wchar_t* kAdkRootCandidates[] = {
    L"C:\\Program Files (x86)\\Windows Kits\\10\\Assessment and Deployment Kit",
    L"C:\\Program Files\\Windows Kits\\10\\Assessment and Deployment Kit",
};

// Kit status: both parts present, add-on missing, deployment tools missing.
enum AdkStatus : int {
    AdkReady = 0,
    AdkWinPEMissing = 1,
    AdkMissing = 2,
};

// Installation modes of InstallAdk; any other value behaves as Win11ViaWinget.
enum AdkInstallChoice : int {
    Win10KitWithX86 = 0,
    Win11ViaWinget = 1,
    DownloadInstallersOnly = 2,
};

// Where to look for the kit, in order: below the kits folder its installer recorded
// (`kitsRoot10`, may be empty; the kit can be installed on any drive), then the two
// fixed installation paths.
[[nodiscard]] std::vector<std::wstring> AdkRootCandidates(const std::wstring& kitsRoot10);
// The first candidate that is a directory, else the first fixed path anyway, so
// callers always get a path and detect absence through the marker files.
[[nodiscard]] std::wstring FindAdkRoot();
[[nodiscard]] int GetAdkStatus();
[[nodiscard]] bool HasX86WinPE();

// Downloads and installs the kit without interaction. Downloads go over HTTPS only
// and a failed one is an error; a setup program runs only with a valid Authenticode
// signature (host.verifySignature). Setup results are ignored; returns 0 when the
// kit is complete afterwards (mode 2: when every installer was downloaded), else 1.
// A download folder containing "%" is refused before anything runs, and so is an
// installation while another one or a build holds the build lock.
[[nodiscard]] int InstallAdk(int choice, const std::wstring& downloadDir, LogCallback log);
[[nodiscard]] int InstallAdk(int choice, const std::wstring& downloadDir, LogCallback log,
                             const WinPEHost& host);

}  // namespace morvane
