// The settings stores for real under Wine (code page not 932): INI file in a temp
// folder, registry in a private subtree of the current user's hive.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "settings/output_folder.h"
#include "settings/settings_store.h"
#include "support/settings_sandbox.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::Narrow;
using testing::ReadUtf16File;
using testing::RegistrySandbox;
using testing::SetRegistryText;
using testing::TempDir;
using testing::WriteUtf16File;

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(registry.valid());
        location.iniPath = temp.file(L"MorvaneDiskEraser.ini");
        location.registryRoot = registry.root();
        defaultFolder = temp.file(L"default-certificates");
        location.defaultOutputFolder = [this] {
            ++defaultFolderCalls;
            return defaultFolder;
        };
    }
    // Writes a hand-made INI file (UTF-16LE with mark, CR LF line ends).
    void WriteIni(const std::wstring& body) { WriteUtf16File(location.iniPath, body); }

    TempDir temp;
    RegistrySandbox registry;
    SettingsLocation location;
    std::wstring defaultFolder;
    int defaultFolderCalls = 0;
};

// Every field away from its default; the two flags set mean "no stamp" and "no output".
AppSettings EveryFieldSet() {
    return {L"山田 太郎", L"株式会社モルヴァン 情報システム部", L"F:\\消去証明書\\2024年度", 6, 2, 1, 1, 1};
}

TEST_F(SettingsStore, NothingStoredGivesTheDefaults) {
    const AppSettings s = LoadSettings(location);
    AppSettings expected;
    expected.certOutputDir = defaultFolder;
    EXPECT_EQ(s, expected);
    EXPECT_EQ(defaultFolderCalls, 1);
    EXPECT_FALSE(fs::exists(fs::path(location.iniPath))) << "loading creates no INI file";
}

TEST_F(SettingsStore, EveryFieldRoundTripsIncludingJapaneseText) {
    // The fault this guards against only shows outside code page 932.
    ASSERT_NE(::GetACP(), 932u);
    std::printf("ANSI code page: %u\n", ::GetACP());
    const AppSettings saved = EveryFieldSet();
    SaveSettings(saved, location);
    EXPECT_EQ(LoadSettings(location), saved);

    // The registry mirror holds the organisation too: take it away so the INI alone
    // must carry the Japanese text.
    ASSERT_EQ(::RegDeleteTreeW(registry.root(), location.registryKey.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(LoadSettings(location), saved);

    // ReadUtf16File gives nothing unless the file starts with the UTF-16LE mark.
    const std::wstring text = ReadUtf16File(location.iniPath);
    std::printf("---- INI written by SaveSettings ----\n%s\n----\n", Narrow(text).c_str());
    EXPECT_NE(text.find(L"[General]\r\nOperatorName=山田 太郎\r\n"), std::wstring::npos);
}

TEST_F(SettingsStore, SavingAgainRewritesValuesInPlace) {
    AppSettings s = EveryFieldSet();
    SaveSettings(s, location);
    s.operatorName = L"佐藤";
    s.defaultStandard = 3;
    s.writeDiskStamp = 0;
    SaveSettings(s, location);
    EXPECT_EQ(LoadSettings(location), s);
    const std::wstring text = ReadUtf16File(location.iniPath);
    EXPECT_EQ(text.find(L"OperatorName="), text.rfind(L"OperatorName=")) << "one key, once";
    EXPECT_EQ(text.find(L"\xFEFF"), std::wstring::npos) << "no second byte-order mark";
    EXPECT_EQ(text.find(L"山田"), std::wstring::npos);
}

TEST_F(SettingsStore, RegistryMirrorValues) {
    const AppSettings s = EveryFieldSet();
    SaveSettings(s, location);
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"OperatorName", s.operatorName},
        {L"OrganizationName", s.organizationName},
        {L"CertOutputDir", s.certOutputDir}};
    for (const auto& [name, value] : values) {
        const auto blob = testing::ReadRegistryValue(registry.root(), location.registryKey, name);
        ASSERT_TRUE(blob) << Narrow(name);
        EXPECT_EQ(blob->type, static_cast<DWORD>(REG_SZ));
        ASSERT_EQ(blob->bytes.size(), (value.size() + 1) * 2) << "stored with its NUL";
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(blob->bytes.data())), value);
    }
}

TEST_F(SettingsStore, OutOfRangeAndMalformedValuesLoadAsDefaults) {
    struct Case {
        std::wstring section, key, value;
        std::uint32_t AppSettings::*field;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {L"Sanitization", L"DefaultStandard", L"8", &AppSettings::defaultStandard, 0},
        {L"Sanitization", L"DefaultStandard", L"-1", &AppSettings::defaultStandard, 0},
        {L"Sanitization", L"DefaultStandard", L"abc", &AppSettings::defaultStandard, 0},
        {L"Sanitization", L"DefaultStandard", L"", &AppSettings::defaultStandard, 0},
        {L"Sanitization", L"DefaultStandard", L"5", &AppSettings::defaultStandard, 5},
        {L"Sanitization", L"DefaultVerify", L"3", &AppSettings::defaultVerify, 1},
        {L"Sanitization", L"DefaultVerify", L"0", &AppSettings::defaultVerify, 0},
        {L"Sanitization", L"DefaultVerify", L"", &AppSettings::defaultVerify, 1},
        {L"Safety", L"DefaultExecMode", L"2", &AppSettings::defaultExecMode, 0},
        {L"Safety", L"DefaultExecMode", L"1", &AppSettings::defaultExecMode, 1},
        {L"Sanitization", L"DefaultExecMode", L"1", &AppSettings::defaultExecMode, 0},  // wrong section
        {L"Sanitization", L"WriteDiskStamp", L"2", &AppSettings::writeDiskStamp, 0},
        {L"Sanitization", L"EnableLogOutput", L"1", &AppSettings::enableLogOutput, 1},
        {L"Sanitization", L"EnableLogOutput", L"257", &AppSettings::enableLogOutput, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        // A fresh file per case: the profile cache must not serve an older one.
        location.iniPath = temp.file(L"case" + std::to_wstring(++n) + L".ini");
        WriteIni(L"[" + c.section + L"]\r\n" + c.key + L"=" + c.value + L"\r\n");
        // The field takes the expected value; every other field keeps its default.
        AppSettings expected;
        expected.certOutputDir = defaultFolder;
        expected.*c.field = c.expected;
        EXPECT_EQ(LoadSettings(location), expected) << Narrow(c.key) << "=" << Narrow(c.value);
    }
}

TEST_F(SettingsStore, RegistryOperatorNameRules) {
    WriteIni(L"[General]\r\nOperatorName=INI担当\r\nOrganizationName=INI組織\r\n"
             L"CertOutputDir=D:\\INI\r\n");
    const std::wstring key = location.registryKey;
    ASSERT_TRUE(SetRegistryText(registry.root(), key, L"OrganizationName", L"レジストリ組織"));
    ASSERT_TRUE(SetRegistryText(registry.root(), key, L"CertOutputDir", L"E:\\Registry"));
    AppSettings s = LoadSettings(location);
    EXPECT_EQ(s.operatorName, L"INI担当") << "no registry operator name yet";
    EXPECT_EQ(s.organizationName, L"INI組織");
    EXPECT_EQ(s.certOutputDir, L"D:\\INI");

    struct Case {
        std::wstring registryValue;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"レジストリ担当", L"レジストリ担当"},
        {std::wstring(259, L'r'), std::wstring(259, L'r')},  // 520 bytes with the NUL: fits
        {std::wstring(260, L'r'), L"INI担当"},               // too long to read: INI stays
        {std::wstring(400, L'r'), L"INI担当"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetRegistryText(registry.root(), key, L"OperatorName", c.registryValue));
        s = LoadSettings(location);
        EXPECT_EQ(s.operatorName, c.expected) << c.registryValue.size() << " characters";
        EXPECT_EQ(s.organizationName, L"INI組織");
        EXPECT_EQ(s.certOutputDir, L"D:\\INI");
    }

    // A value stored without its NUL is still read whole; a non-text value is ignored.
    const std::wstring bare = L"末尾NULなし";
    ASSERT_TRUE(testing::SetRegistryValue(registry.root(), key, L"OperatorName", REG_SZ, bare.data(),
                                          static_cast<DWORD>(bare.size() * 2)));
    EXPECT_EQ(LoadSettings(location).operatorName, bare);
    const DWORD number = 0x00410041;
    ASSERT_TRUE(testing::SetRegistryValue(registry.root(), key, L"OperatorName", REG_DWORD, &number,
                                          sizeof(number)));
    EXPECT_EQ(LoadSettings(location).operatorName, L"INI担当");
}

TEST_F(SettingsStore, LongValuesAreCutTo259Characters) {
    const std::wstring longName(300, L'長');
    WriteIni(L"[General]\r\nOrganizationName=" + longName + L"\r\nOperatorName=" +
             std::wstring(300, L'x') + L"\r\n");
    const AppSettings s = LoadSettings(location);
    EXPECT_EQ(s.organizationName, std::wstring(259, L'長'));
    EXPECT_EQ(s.operatorName, std::wstring(259, L'x'));
}

TEST_F(SettingsStore, HandEditedUnicodeFileLoads) {
    WriteIni(L"; edited by hand\r\n\r\n"
             L"[General]\r\n"
             L"OperatorName = 鈴木 一郎 \r\n"
             L"\r\n"
             L"OrganizationName=検査課\r\n"
             L"CertOutputDir=E:\\Morvane_Erasure_Logs\r\n"
             L"\r\n\r\n"
             L"[Safety]\r\n"
             L"DefaultExecMode=1\r\n"
             L"\r\n"
             L"[Sanitization]\r\n"
             L"DefaultVerify=0\r\n"
             L"DefaultStandard=4\r\n"
             L"WriteDiskStamp=1\r\n"
             L"EnableLogOutput=0\r\n");
    const AppSettings expected{L"鈴木 一郎", L"検査課", L"E:\\Morvane_Erasure_Logs", 4, 0, 1, 1, 0};
    EXPECT_EQ(LoadSettings(location), expected);

    // Saving into the hand-edited file keeps it Unicode and keeps the comment.
    AppSettings changed = expected;
    changed.organizationName = L"品質保証部";
    SaveSettings(changed, location);
    EXPECT_EQ(LoadSettings(location), changed);
    EXPECT_NE(ReadUtf16File(location.iniPath).find(L"; edited by hand"), std::wstring::npos);
}

TEST_F(SettingsStore, UnwritableIniIsIgnoredAndTheRegistryStillWritten) {
    location.iniPath = temp.file(L"no such folder\\MorvaneDiskEraser.ini");
    const AppSettings s = EveryFieldSet();
    SaveSettings(s, location);
    EXPECT_FALSE(fs::exists(fs::path(location.iniPath)));
    const AppSettings loaded = LoadSettings(location);
    EXPECT_EQ(loaded.operatorName, s.operatorName) << "from the registry mirror";
    EXPECT_EQ(loaded.organizationName, L"Morvane Tools Lab");
    EXPECT_EQ(loaded.certOutputDir, defaultFolder);
}

// The product's own locations: the per-user INI and HKEY_CURRENT_USER, restored after.
TEST(SettingsStoreProduct, RealLocationsDefaultsAndRoundTrip) {
    const std::wstring ini = SettingsIniPath();
    std::printf("settings INI: %s\n", Narrow(ini).c_str());
    EXPECT_TRUE(ini.ends_with(L"\\Morvane\\DiskEraser\\MorvaneDiskEraser.ini")) << Narrow(ini);
    EXPECT_TRUE(fs::is_directory(fs::path(ini).parent_path())) << "its folders are created";

    testing::ProductSettingsGuard guard(ini, kSettingsRegistryKey);
    // Nothing stored: the defaults, with the real default folder created again.
    ::DeleteFileW(ini.c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRegistryKey);
    const std::wstring folder = DefaultOutputFolder();
    ::RemoveDirectoryW(folder.c_str());  // only when empty
    AppSettings defaults;
    defaults.certOutputDir = folder;
    EXPECT_EQ(LoadSettings(), defaults);
    EXPECT_TRUE(fs::is_directory(fs::path(folder)));

    AppSettings s = EveryFieldSet();
    s.certOutputDir = folder;
    SaveSettings(s);
    EXPECT_EQ(LoadSettings(), s);
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRegistryKey), ERROR_SUCCESS);
    EXPECT_EQ(LoadSettings(), s) << "the INI alone carries every field";
    EXPECT_FALSE(ReadUtf16File(ini).empty()) << "a UTF-16LE file with its mark";
    // The prefix's documents folder may be a link into the build machine's home.
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace morvane
