// Output-folder decisions on synthetic drives, the write probe for real, settings value
// rules, and the settings stores for real under Wine (INI file in a temp folder, registry
// in a private subtree of the current user's hive).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "settings/output_folder.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::Narrow;

// Drives as listed; a folder can be created unless its drive is write-protected.
struct Drive { std::wstring root; unsigned type; bool writeProtected = false; };
class FakeSystem : public OutputFolderSystem {
public:
    bool winPE = false;
    std::vector<Drive> drives;
    std::wstring documents, exe;
    std::vector<std::wstring> typeQueries;

    bool IsWinPE() override { return winPE; }
    std::vector<std::wstring> DriveRoots() override {
        std::vector<std::wstring> roots;
        for (const Drive& d : drives) roots.push_back(d.root);
        return roots;
    }
    unsigned DriveType(const std::wstring& root) override {
        typeQueries.push_back(root);
        const Drive* d = Find(root);
        return d ? d->type : 1;  // DRIVE_NO_ROOT_DIR
    }
    FolderCreation CreateFolder(const std::wstring& path) override {
        return CanWriteInto(path) ? FolderCreation::Created : FolderCreation::Failed;
    }
    bool CanWriteInto(const std::wstring& folder) override {
        const Drive* d = Find(folder);
        return !(d && d->writeProtected);
    }
    std::wstring DocumentsFolder() override { return documents; }
    std::wstring ExecutablePath() override { return exe; }

private:
    const Drive* Find(const std::wstring& path) const {
        for (const Drive& d : drives) {
            if (!path.empty() && towupper(path[0]) == towupper(d.root[0])) return &d;
        }
        return nullptr;
    }
};

constexpr unsigned kRemovable = kDriveTypeRemovable, kFixed = kDriveTypeFixed;

TEST(DefaultOutputFolder, DecisionTable) {
    const std::wstring home = L"C:\\Users\\op\\Documents", exe = L"C:\\Tools\\M.exe";
    const std::wstring docs = home + L"\\Morvane Disk Eraser Certificates";
    struct Case { const char* name; bool winPE; std::vector<Drive> drives; std::wstring documents, exe, expected; };
    const Case cases[] = {
        {"WinPE: A:, B: and the X: RAM disk skipped, write-protected E: passed over", true,
         {{L"A:\\", kRemovable}, {L"b:\\", kRemovable}, {L"C:\\", kFixed}, {L"E:\\", kRemovable, true},
          {L"X:\\", kRemovable}, {L"F:\\", kRemovable}, {L"G:\\", kRemovable}},
         home, exe, L"F:\\Morvane_Erasure_Logs"},
        {"WinPE, no writable stick: documents", true, {{L"E:\\", kRemovable, true}, {L"X:\\", kFixed}}, home, exe, docs},
        {"outside WinPE a stick is never considered", false, {{L"F:\\", kRemovable}}, home, exe, docs},
        {"no documents folder: beside the program", false, {}, L"", L"D:/pe/bin/M.exe", L"D:/pe/bin\\Certificates"},
        {"nothing can be created: still a path", true, {{L"E:\\", kRemovable, true}}, L"", L"E:\\M.exe", L"E:\\Certificates"},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.winPE = c.winPE;
        system.drives = c.drives;
        system.documents = c.documents;
        system.exe = c.exe;
        EXPECT_EQ(DefaultOutputFolder(system), c.expected) << c.name;
        for (const std::wstring& root : system.typeQueries) {
            EXPECT_EQ(std::wstring(L"AbXG").find(root[0]), std::wstring::npos) << c.name << ": asked " << Narrow(root);
        }
    }
}

TEST(ValidateOutputPath, ReasonTable) {
    const std::wstring relative = L"相対パスまたは無効なパスです。";
    const std::wstring ramDisk =
        L"X:\\ は WinPE の一時RAMディスクのため、PCを再起動・電源OFFすると保存したログが消えてしまいます。";
    const std::wstring cdRom = L"Q:\\ は CD/DVD/ISO 読み取り専用ドライブのため書き込みできません。";
    const std::wstring untouched = L"(unchanged)";
    const std::tuple<std::wstring, bool, std::wstring> cases[] = {
        {L"Certificates", false, relative}, {L"\\\\server\\share\\logs", false, relative},
        {L"\\\\?\\C:\\logs", false, relative}, {L"C:Certificates", false, relative}, {L"1:\\logs", false, relative},
        {L"q:\\evidence", false, cdRom}, {L"x:\\logs", true, ramDisk}, {L"X:/logs", true, ramDisk},
        {L"x:\\logs", false, untouched}, {L"Y:\\logs", true, untouched}, {L"F:\\Logs", true, untouched},
        {L"N:\\share", false, untouched}};
    for (const auto& [path, winPE, expected] : cases) {
        FakeSystem system;
        system.winPE = winPE;
        system.drives = {{L"C:\\", kFixed}, {L"F:\\", kRemovable}, {L"N:\\", kDriveTypeRemote},
                         {L"Q:\\", kDriveTypeCdRom}, {L"X:\\", kFixed}, {L"Y:\\", kFixed}};
        std::wstring reason = untouched;
        EXPECT_EQ(ValidateOutputPath(path, reason, system), expected != untouched) << Narrow(path);
        EXPECT_EQ(reason, expected) << Narrow(path);
    }
}

TEST(TestFolderWritable, CreatesMissingParentsAndLeavesNoProbe) {
    testing::TempDir temp;
    std::ofstream(temp.path() / L"_zolt_write_test.tmp") << "stale probe from an interrupted run";
    for (const wchar_t* folder : {L"", L"\\a\\b\\c", L"\\mixed/seps\\証明書\\"}) {
        const std::wstring path = temp.path().wstring() + folder;
        EXPECT_TRUE(TestFolderWritable(path)) << Narrow(path);
        EXPECT_TRUE(fs::is_directory(path) && fs::is_empty(path)) << Narrow(path) << ": probe left behind";
    }
    // A plain file where the folder should be; an empty path is not the current drive.
    std::ofstream(temp.path() / L"blocker") << "not a folder";
    EXPECT_FALSE(TestFolderWritable((temp.path() / L"blocker").wstring()));
    EXPECT_FALSE(TestFolderWritable((temp.path() / L"blocker" / L"sub").wstring()));
    EXPECT_FALSE(TestFolderWritable(L""));
}

TEST(ParseStoredInteger, Table) {
    const std::pair<std::wstring, std::optional<std::uint32_t>> cases[] = {
        {L"7", 7u}, {L"  2 ", 2u}, {L"+01", 1u}, {L"-1", 0xFFFFFFFFu}, {L"4294967295", 0xFFFFFFFFu},
        {L"-2147483648", 0x80000000u}, {L"", std::nullopt}, {L"abc", std::nullopt}, {L"1abc", std::nullopt},
        {L"0x1", std::nullopt}, {L"-", std::nullopt}, {L"1 2", std::nullopt}, {L"4294967296", std::nullopt},
        {L"-2147483649", std::nullopt}, {L"１", std::nullopt}};  // the last: a full-width digit
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseStoredInteger(text), value) << Narrow(text);
}

TEST(SettingsFromStored, RangesTextLimitsAndTheRegistryOperator) {
    StoredSettings stored{L"INI担当", std::wstring(300, L'組'), L"C:\\Docs", L"8", L"3", L"2", L"1", L"1", std::nullopt,
                          std::wstring(300, L'F')};
    AppSettings expected{L"INI担当", std::wstring(259, L'組'), L"C:\\Docs", 0, 1, 1, 0, 1, std::wstring(259, L'F')};
    EXPECT_EQ(SettingsFromStored(stored), expected) << "out-of-range values fall back, texts are cut";
    stored.defaultStandard = L"7";
    stored.defaultVerify = L"2";
    expected.defaultStandard = 7;
    expected.defaultVerify = 2;
    EXPECT_EQ(SettingsFromStored(stored), expected);
    stored.registryOperatorName = L"";  // an empty registry value still wins
    EXPECT_EQ(SettingsFromStored(stored).operatorName, L"");
}

TEST(SettingsIniPath, BesideTheProgramWithoutAppData) {
    EXPECT_EQ(SettingsIniPathFor(L"C:\\Users\\op\\AppData\\Local", L"C:\\Tools\\M.exe"),
              L"C:\\Users\\op\\AppData\\Local\\Morvane\\DiskEraser\\MorvaneDiskEraser.ini");
    EXPECT_EQ(SettingsIniPathFor(L"", L"X:/Windows/System32/M.exe"), L"X:/Windows/System32\\MorvaneDiskEraser.ini");
    const std::wstring ini = SettingsIniPath();  // the product's own: its folders are created
    EXPECT_TRUE(ini.ends_with(L"\\Morvane\\DiskEraser\\MorvaneDiskEraser.ini")) << Narrow(ini);
    EXPECT_TRUE(fs::is_directory(fs::path(ini).parent_path()));
}

// The stores under HKCU\Software\MorvaneDiskEraserTests\<pid>, removed at the end.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, sandbox.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    root.put(), nullptr), ERROR_SUCCESS);
        location.iniPath = temp.file(L"MorvaneDiskEraser.ini");
        location.registryRoot = root.get();
        location.defaultOutputFolder = [this] { return temp.file(L"default-certificates"); };
        defaults.certOutputDir = temp.file(L"default-certificates");
    }
    void TearDown() override {
        root.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, sandbox.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\MorvaneDiskEraserTests");  // only when empty
    }
    void SetRegistryValue(const wchar_t* name, DWORD type, const void* data, std::size_t bytes) {
        ASSERT_EQ(::RegSetKeyValueW(root.get(), location.registryKey.c_str(), name, type, data, static_cast<DWORD>(bytes)),
                  ERROR_SUCCESS);
    }
    // Windows keeps Unicode INI files as UTF-16LE after a byte-order mark.
    void WriteIni(const std::wstring& text) {
        std::ofstream(fs::path(location.iniPath), std::ios::binary)
            .write("\xFF\xFE", 2)
            .write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * 2));
    }
    std::wstring ReadIni() {  // empty unless the file starts with the UTF-16LE mark
        const auto bytes = testing::ReadFileBytes(location.iniPath);
        if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return {};
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    }

    const std::wstring sandbox = L"Software\\MorvaneDiskEraserTests\\" + std::to_wstring(::GetCurrentProcessId());
    testing::TempDir temp;
    UniqueRegKey root;
    SettingsLocation location;
    AppSettings defaults;
};

TEST_F(SettingsStore, NothingStoredGivesTheDefaults) {
    EXPECT_EQ(LoadSettings(location), defaults);
    EXPECT_FALSE(fs::exists(location.iniPath)) << "loading creates no INI file";
}

TEST_F(SettingsStore, EveryFieldRoundTripsInUnicode) {
    AppSettings saved{L"山田 太郎", L"株式会社モルヴァン 情報システム部", L"F:\\消去証明書", 6, 2, 1, 1, 1,
                      L"\x200e" L"3a 5F 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff 01 02"};
    SaveSettings(saved, location);
    saved.operatorName = L"佐藤";  // saving again rewrites values in place
    SaveSettings(saved, location);
    const std::wstring text = ReadIni();
    EXPECT_NE(text.find(L"[General]\r\nOperatorName=佐藤\r\n"), std::wstring::npos);
    EXPECT_EQ(text.find(L"山田"), std::wstring::npos);
    EXPECT_NE(text.find(L"CertOutputDir=F:\\消去証明書\r\nSignerCertificateThumbprint=\x200e" L"3a 5F"), std::wstring::npos)
        << "kept as typed, in the General section";
    EXPECT_EQ(text.find(L"\xFEFF"), std::wstring::npos) << "no second byte-order mark";
    // Japanese text also survives an ANSI read under code page 932: only another code page
    // shows whether loading is Unicode throughout.
    if (::GetACP() == 932) GTEST_SKIP() << "code page 932 cannot show a lossy ANSI read";
    EXPECT_EQ(LoadSettings(location), saved);
    // Without the registry mirror the INI alone must carry the Japanese text.
    ASSERT_EQ(::RegDeleteTreeW(root.get(), location.registryKey.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(LoadSettings(location), saved);
}

TEST_F(SettingsStore, RegistryOperatorNameRules) {
    WriteIni(L"[General]\r\nOperatorName=INI担当\r\nOrganizationName=INI組織\r\n");
    SetRegistryValue(L"OrganizationName", REG_SZ, L"レジストリ組織", 16);  // only the operator name is taken
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"レジストリ担当", L"レジストリ担当"},
        {std::wstring(259, L'r'), std::wstring(259, L'r')},  // 520 bytes with the NUL: fits
        {std::wstring(260, L'r'), L"INI担当"},               // too long to read: INI stays
    };
    for (const auto& [value, expected] : cases) {
        SetRegistryValue(L"OperatorName", REG_SZ, value.c_str(), (value.size() + 1) * 2);
        const AppSettings s = LoadSettings(location);
        EXPECT_EQ(s.operatorName, expected) << value.size() << " characters";
        EXPECT_EQ(s.organizationName, L"INI組織");
    }
    SetRegistryValue(L"OperatorName", REG_SZ, L"末尾NULなし", 14);  // stored without its NUL: still read whole
    EXPECT_EQ(LoadSettings(location).operatorName, L"末尾NULなし");
    const DWORD number = 0x00410041;
    SetRegistryValue(L"OperatorName", REG_DWORD, &number, 4);
    EXPECT_EQ(LoadSettings(location).operatorName, L"INI担当") << "a non-text value is ignored";
}

TEST_F(SettingsStore, UnwritableIniIsIgnoredAndTheRegistryStillWritten) {
    location.iniPath = temp.file(L"no such folder\\MorvaneDiskEraser.ini");
    SaveSettings({L"山田", L"組織", L"F:\\Logs", 6, 2, 1, 1, 1, L""}, location);
    EXPECT_FALSE(fs::exists(location.iniPath));
    defaults.operatorName = L"山田";  // from the registry mirror; everything else defaults
    EXPECT_EQ(LoadSettings(location), defaults);
}

}  // namespace
}  // namespace morvane
