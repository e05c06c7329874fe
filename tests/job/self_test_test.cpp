// The headless self-test run in-process: command line, virtual disk record, evidence and
// exit codes. Each case has its own documents folder (the shell's answer is redirected)
// and temp folder (TMP): no case touches the user's folders or another run's files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "disk/safety.h"
#include "job/self_test.h"
#include "support/engine_disk.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class SelfTest : public ::testing::Test {
protected:
    static inline std::wstring documents;
    static inline decltype(::SHGetFolderPathW)* shell = nullptr;
    static HRESULT WINAPI FolderPath(HWND window, int folder, HANDLE token, DWORD flags, LPWSTR path) {
        if ((folder & 0xFF) != CSIDL_PERSONAL) return shell(window, folder, token, flags, path);
        ::lstrcpynW(path, documents.c_str(), MAX_PATH);
        return S_OK;
    }

    testing::TempDir home;
    testing::ImportRedirect<decltype(::SHGetFolderPathW)> redirect{ImportOfSHGetFolderPathW, &FolderPath};
    fs::path temp = home.path() / L"Temp", certificates = home.path() / L"Documents" / L"Morvane Disk Eraser Certificates";
    wchar_t savedTmp[MAX_PATH] = {};

    void SetUp() override {
        shell = redirect.original();
        documents = (home.path() / L"Documents").wstring();
        fs::create_directories(documents);
        fs::create_directories(temp);
        ::GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH);
        ::SetEnvironmentVariableW(L"TMP", (temp.wstring() + L"\\").c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"TMP", savedTmp[0] ? savedTmp : nullptr); }
};

TEST_F(SelfTest, PassesAndFilesItsEvidenceInTheDocumentsFolder) {
    EXPECT_EQ(SelfTestVirtualDisk().safety, SystemDisk) << "the virtual disk is protected like a system disk";
    ASSERT_EQ(RunSelfTest(), 0);
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(certificates)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 9u) << "HTML and PDF certificates, audit log, JSON report, their signatures, the signer";
    const std::wstring id = names[0].substr(0, names[0].find(L'_'));
    EXPECT_EQ(names, (std::vector<std::wstring>{id + L"_AuditLog.txt", id + L"_AuditLog.txt.p7s", id + L"_Certificate.html",
                                                id + L"_Certificate.html.p7s", id + L"_Certificate.pdf",
                                                id + L"_Certificate.pdf.p7s", id + L"_Report.json", id + L"_Report.json.p7s",
                                                id + L"_Signer.cer"}));
    EXPECT_TRUE(fs::is_empty(temp)) << "the temporary stamp image is deleted";
}

TEST_F(SelfTest, ExitCodesForAnUnwritableFolderAndAnUncreatableImage) {
    std::ofstream(certificates).put('x');  // a plain file where the certificate folder goes
    EXPECT_EQ(RunSelfTest(), 3);
    fs::remove(certificates);
    // A folder in the image's place: the stamp writer would go untested, which is no pass.
    ASSERT_TRUE(fs::create_directory(temp / L"zolt_stamp_selftest.bin"));
    EXPECT_EQ(RunSelfTest(), 6);
}

}  // namespace
}  // namespace morvane
