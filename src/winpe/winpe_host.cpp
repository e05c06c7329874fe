// The real host seam and the file helpers of the WinPE builder.
#include "winpe/winpe_host.h"

#include "common/files.h"
#include "common/win32.h"

namespace morvane {

namespace {

struct FindTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

}  // namespace

unsigned SystemDriveType(const std::wstring& root) {
    return ::GetDriveTypeW(root.c_str());
}

UsbVolumeFacts QueryUsbVolume(const std::wstring& drive) {
    // No access rights are asked for: the open cannot write, and this control code
    // needs none (the length control code would need read access).
    const std::wstring volume = L"\\\\.\\" + drive;
    UniqueFile handle(::CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    0, nullptr));
    if (!handle) return {};
    PARTITION_INFORMATION_EX info{};
    DWORD got = 0;
    if (!::DeviceIoControl(handle.get(), IOCTL_DISK_GET_PARTITION_INFO_EX, nullptr, 0, &info, sizeof info, &got,
                           nullptr)) {
        return {};
    }
    UsbVolumeFacts facts;
    facts.known = true;
    facts.volumeBytes = static_cast<std::uint64_t>(info.PartitionLength.QuadPart);
    facts.gpt = info.PartitionStyle == PARTITION_STYLE_GPT;
    return facts;
}

bool RemoveFileForce(const std::wstring& path) {
    // The kit writes bootmgr hidden, system and read-only; DeleteFileW refuses a
    // read-only file.
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
    return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool VerifyAuthenticodeSignature(const std::wstring& path) {
    // wintrust.dll is loaded from the system folder on first use, so the program
    // does not import it at start-up.
    using VerifyFn = decltype(&::WinVerifyTrust);
    static const VerifyFn verify = [] {
        const HMODULE dll = ::LoadLibraryExW(L"wintrust.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return dll ? reinterpret_cast<VerifyFn>(reinterpret_cast<void*>(::GetProcAddress(dll, "WinVerifyTrust")))
                   : nullptr;
    }();
    if (!verify) return false;

    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return status == ERROR_SUCCESS;
}

BuildLock::BuildLock(const std::wstring& name) : mutex_(::CreateMutexW(nullptr, FALSE, name.c_str())) {
    if (!mutex_) return;
    const DWORD wait = ::WaitForSingleObject(mutex_.get(), 0);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

BuildLock::~BuildLock() {
    if (held_) ::ReleaseMutex(mutex_.get());
}

std::wstring BuildLockBusyLine() {
    return L"[ERROR] 別の WinPE メディア作成または ADK 導入が実行中です。同時に実行するとイメージのマウントと"
           L"オフライン レジストリが衝突するため、実行中の処理が終わってから再実行してください。";
}

WinPEHost SystemWinPEHost() {
    WinPEHost host;
    host.programPath = OwnExecutablePath();
    host.openFolder = [](const std::wstring& folder) {
        ::ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
    return host;
}

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void CreateFolder(const std::wstring& path) {
    ::CreateDirectoryW(path.c_str(), nullptr);
}

bool CopyOver(const std::wstring& from, const std::wstring& to) {
    return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH, buffer);
    return (n > 0 && n <= MAX_PATH) ? std::wstring(buffer, n) : std::wstring();
}

std::optional<std::uint16_t> FileMachine(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> head(kPEHeadBytes);
    DWORD got = 0;
    if (!::ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &got, nullptr)) return std::nullopt;
    head.resize(got);
    return PEMachine(head);
}

std::vector<std::wstring> ListFolders(const std::wstring& pattern) {
    std::vector<std::wstring> folders;
    const std::wstring parent = FolderOfPath(pattern);
    WIN32_FIND_DATAW entry{};
    UniqueHandle<FindTraits> find(::FindFirstFileW(pattern.c_str(), &entry));
    if (!find) return folders;
    do {
        const std::wstring name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || name == L"." || name == L"..") continue;
        // A junction could lead the removal out of the temporary folder.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
        folders.push_back(parent + L"\\" + name);
    } while (::FindNextFileW(find.get(), &entry));
    return folders;
}

std::wstring InstalledKitsRoot() {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows Kits\\Installed Roots", 0,
                        KEY_QUERY_VALUE | KEY_WOW64_32KEY, key.put()) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD type = 0, bytes = sizeof(buffer) - sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), L"KitsRoot10", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    std::wstring root(buffer, bytes / sizeof(wchar_t));
    while (!root.empty() && (root.back() == L'\0' || root.back() == L'\\' || root.back() == L'/')) root.pop_back();
    return root;
}

bool HasPercent(const std::wstring& path) {
    return path.find(L'%') != std::wstring::npos;
}

}  // namespace morvane
