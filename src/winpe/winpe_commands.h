// Pure builders for every external command line of the WinPE media builder and
// for the two auto-start files; each returns the exact text that is run or written.
#pragma once

#include <string>
#include <vector>

namespace morvane {

// The vendor's forward-link service: append a link id to get a download address.
inline constexpr const wchar_t* kForwardLinkBase = L"https://go.microsoft.com/fwlink/?linkid=";

[[nodiscard]] std::wstring ForwardLink(int linkId);

// The one release of the Windows 11 kit that winget installs, for the kit and its
// WinPE add-on alike: the add-on only works with the kit of the same version.
inline constexpr const wchar_t* kWingetAdkVersion = L"10.1.26100.2454";

// "x86" for 1, "amd64" for anything else.
[[nodiscard]] std::wstring ArchitectureFolder(int x86);

// The drive name of a USB target: its first two characters ("E:").
[[nodiscard]] std::wstring UsbDriveName(const std::wstring& usbDrive);

// Every path a build derives from the kit root, the architecture and the work folder.
struct WinPEPaths {
    std::wstring adkRoot;
    std::wstring setupScript;
    std::wstring oscdimg;
    std::wstring workFolder;
    std::wstring peRoot;
    std::wstring adkMedia;
    std::wstring adkBootImage;
    std::wstring mediaFolder;
    std::wstring bootImage;
    std::wstring mountFolder;
    std::wstring applicationFolder;
    std::wstring etfsboot;
};

// `tempPath` is the system's temporary folder ending in "\"; it names the default
// work folder when `workDir` is empty (the build itself makes that name unique).
[[nodiscard]] WinPEPaths DeriveWinPEPaths(const std::wstring& adkRoot, int x86,
                                          const std::wstring& workDir,
                                          const std::wstring& tempPath);

// The kit's own DISM, the amd64 host build under Deployment Tools.
[[nodiscard]] std::wstring KitDismPath(const std::wstring& adkRoot);
// How a DISM command line names the program (the `dism` argument below): the quoted
// full path, or "dism.exe" as found on PATH when `dismPath` is empty.
[[nodiscard]] std::wstring DismProgram(const std::wstring& dismPath);

// Build pipeline.
// Lists the mounted images with English labels ("Mount Dir : ...") whatever the
// system language.
[[nodiscard]] std::wstring MountedImagesCommand(const std::wstring& dism);
[[nodiscard]] std::wstring CleanupMountpointsCommand(const std::wstring& dism);
[[nodiscard]] std::wstring RemoveWorkFolderCommand(const std::wstring& workFolder);
[[nodiscard]] std::wstring StageMediaCommand(const std::wstring& adkMedia, const std::wstring& workFolder);
[[nodiscard]] std::wstring MountImageCommand(const std::wstring& dism, const std::wstring& bootImage,
                                             const std::wstring& mountFolder);
[[nodiscard]] std::wstring UnmountCommitCommand(const std::wstring& dism, const std::wstring& mountFolder);
[[nodiscard]] std::wstring UnmountDiscardCommand(const std::wstring& dism, const std::wstring& mountFolder);
[[nodiscard]] std::wstring MakeUsbMediaCommand(const std::wstring& setupScript,
                                               const std::wstring& workFolder, const std::wstring& drive);
// A two-entry El Torito image: BIOS (platform 0) and UEFI (platform EF).
[[nodiscard]] std::wstring OscdimgCommand(const std::wstring& oscdimg, const std::wstring& etfsboot,
                                          const std::wstring& efiImage, const std::wstring& workFolder,
                                          const std::wstring& isoPath);
// One El Torito entry, UEFI only: a BIOS machine does not start the image.
[[nodiscard]] std::wstring OscdimgUefiOnlyCommand(const std::wstring& oscdimg, const std::wstring& efiImage,
                                                  const std::wstring& workFolder, const std::wstring& isoPath);
[[nodiscard]] std::wstring MakeIsoMediaCommand(const std::wstring& setupScript,
                                               const std::wstring& workFolder, const std::wstring& isoPath);

// Kit download and installation.
[[nodiscard]] std::wstring DownloadCommand(int linkId, const std::wstring& downloadFolder,
                                           const std::wstring& fileName);
[[nodiscard]] std::wstring AdkSetupCommand(const std::wstring& downloadFolder);
[[nodiscard]] std::wstring WinPESetupCommand(const std::wstring& downloadFolder);
[[nodiscard]] std::wstring WinPELayoutCommand(const std::wstring& downloadFolder);
[[nodiscard]] std::wstring MsiExtractCommand(const std::wstring& package, const std::wstring& downloadFolder);
[[nodiscard]] std::wstring XcopyTreeCommand(const std::wstring& source, const std::wstring& destination);
[[nodiscard]] std::wstring WingetAdkCommand();
[[nodiscard]] std::wstring WingetWinPECommand();

// Japanese locale, fonts and the offline registry hive.
[[nodiscard]] std::wstring AddPackageCommand(const std::wstring& dism, const std::wstring& mountFolder,
                                             const std::wstring& package);
[[nodiscard]] std::wstring SetAllIntlCommand(const std::wstring& dism, const std::wstring& mountFolder);
[[nodiscard]] std::wstring SetLayeredDriverCommand(const std::wstring& dism, const std::wstring& mountFolder);
[[nodiscard]] std::wstring LoadHiveCommand(const std::wstring& mountFolder);
// The six font and font-link registrations, in order.
[[nodiscard]] std::vector<std::wstring> FontRegistryCommands();
[[nodiscard]] std::wstring UnloadHiveCommand();

// The auto-start files written into the image's System32 (ASCII, CR LF, no BOM).
[[nodiscard]] std::string WinpeshlIniContent();
[[nodiscard]] std::string StartnetCmdContent();

}  // namespace morvane
