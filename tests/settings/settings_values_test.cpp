// Settings value rules without any store: integer parsing and ranges, text limits,
// the registry override, the INI layout and the INI path choice.
#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::Narrow;

StoredSettings AllDefaults() {
    StoredSettings s;
    s.operatorName = L"Morvane";
    s.organizationName = L"Morvane Tools Lab";
    s.certOutputDir = L"C:\\Docs\\Morvane Disk Eraser Certificates";
    return s;
}

TEST(ParseStoredInteger, Table) {
    struct Case {
        std::wstring text;
        std::optional<std::uint32_t> value;
    };
    const Case cases[] = {
        {L"0", 0u},          {L"7", 7u},        {L"  2 ", 2u},          {L"+1", 1u},
        {L"01", 1u},         {L"-1", 0xFFFFFFFFu}, {L"-0", 0u},         {L"4294967295", 0xFFFFFFFFu},
        {L"-2147483648", 0x80000000u},
        {L"", std::nullopt}, {L" ", std::nullopt}, {L"abc", std::nullopt}, {L"1abc", std::nullopt},
        {L"0x1", std::nullopt}, {L"-", std::nullopt}, {L"1 2", std::nullopt},
        {L"4294967296", std::nullopt}, {L"-2147483649", std::nullopt},
        {L"99999999999999999999999", std::nullopt}, {L"１", std::nullopt},  // full-width digit
    };
    for (const Case& c : cases) EXPECT_EQ(ParseStoredInteger(c.text), c.value) << Narrow(c.text);
}

TEST(SettingsFromStored, EmptyStoresGiveTheDefaults) {
    const AppSettings s = SettingsFromStored(AllDefaults());
    EXPECT_EQ(s.operatorName, L"Morvane");
    EXPECT_EQ(s.organizationName, L"Morvane Tools Lab");
    EXPECT_EQ(s.certOutputDir, L"C:\\Docs\\Morvane Disk Eraser Certificates");
    EXPECT_EQ(s.defaultStandard, 0u);
    EXPECT_EQ(s.defaultVerify, 1u);
    EXPECT_EQ(s.defaultExecMode, 0u);
    EXPECT_EQ(s.writeDiskStamp, 0u);
    EXPECT_EQ(s.enableLogOutput, 0u);
}

TEST(SettingsFromStored, IntegerRanges) {
    using Field = std::wstring StoredSettings::*;
    using Out = std::uint32_t AppSettings::*;
    struct Case {
        const char* key;
        Field in;
        Out out;
        std::wstring text;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"DefaultStandard", &StoredSettings::defaultStandard, &AppSettings::defaultStandard, L"7", 7},
        {"DefaultStandard", &StoredSettings::defaultStandard, &AppSettings::defaultStandard, L"8", 0},
        {"DefaultStandard", &StoredSettings::defaultStandard, &AppSettings::defaultStandard, L"-1", 0},
        {"DefaultStandard", &StoredSettings::defaultStandard, &AppSettings::defaultStandard, L"abc", 0},
        {"DefaultStandard", &StoredSettings::defaultStandard, &AppSettings::defaultStandard, L"", 0},
        {"DefaultVerify", &StoredSettings::defaultVerify, &AppSettings::defaultVerify, L"0", 0},
        {"DefaultVerify", &StoredSettings::defaultVerify, &AppSettings::defaultVerify, L"2", 2},
        {"DefaultVerify", &StoredSettings::defaultVerify, &AppSettings::defaultVerify, L"3", 1},
        // A malformed verify level must not turn verification off.
        {"DefaultVerify", &StoredSettings::defaultVerify, &AppSettings::defaultVerify, L"abc", 1},
        {"DefaultVerify", &StoredSettings::defaultVerify, &AppSettings::defaultVerify, L"", 1},
        {"DefaultExecMode", &StoredSettings::defaultExecMode, &AppSettings::defaultExecMode, L"1", 1},
        {"DefaultExecMode", &StoredSettings::defaultExecMode, &AppSettings::defaultExecMode, L"2", 0},
        {"DefaultExecMode", &StoredSettings::defaultExecMode, &AppSettings::defaultExecMode, L"-1", 0},
        {"DefaultExecMode", &StoredSettings::defaultExecMode, &AppSettings::defaultExecMode, L"yes", 0},
        {"WriteDiskStamp", &StoredSettings::writeDiskStamp, &AppSettings::writeDiskStamp, L"1", 1},
        {"WriteDiskStamp", &StoredSettings::writeDiskStamp, &AppSettings::writeDiskStamp, L"3", 0},
        {"EnableLogOutput", &StoredSettings::enableLogOutput, &AppSettings::enableLogOutput, L"1", 1},
        {"EnableLogOutput", &StoredSettings::enableLogOutput, &AppSettings::enableLogOutput, L"257", 0},
    };
    for (const Case& c : cases) {
        StoredSettings stored = AllDefaults();
        stored.*c.in = c.text;
        const AppSettings s = SettingsFromStored(stored);
        EXPECT_EQ(s.*c.out, c.expected) << c.key << "=" << Narrow(c.text);
        // Other integer fields keep their defaults.
        AppSettings expected;
        expected.operatorName = s.operatorName;
        expected.organizationName = s.organizationName;
        expected.certOutputDir = s.certOutputDir;
        expected.*c.out = c.expected;
        EXPECT_EQ(s, expected) << c.key;
    }
}

TEST(SettingsFromStored, RegistryOperatorOverridesOnlyTheOperator) {
    StoredSettings stored = AllDefaults();
    stored.operatorName = L"INI担当";
    stored.registryOperatorName = L"レジストリ担当";
    EXPECT_EQ(SettingsFromStored(stored).operatorName, L"レジストリ担当");
    stored.registryOperatorName = L"";  // an empty registry value still counts
    EXPECT_EQ(SettingsFromStored(stored).operatorName, L"");
    stored.registryOperatorName.reset();
    EXPECT_EQ(SettingsFromStored(stored).operatorName, L"INI担当");
}

TEST(SettingsFromStored, TextsAreCutTo259Characters) {
    StoredSettings stored = AllDefaults();
    stored.operatorName = std::wstring(300, L'a');
    stored.organizationName = std::wstring(259, L'組');
    stored.certOutputDir = L"C:\\" + std::wstring(400, L'd');
    stored.registryOperatorName.reset();
    AppSettings s = SettingsFromStored(stored);
    EXPECT_EQ(s.operatorName, std::wstring(259, L'a'));
    EXPECT_EQ(s.organizationName, std::wstring(259, L'組'));
    EXPECT_EQ(s.certOutputDir.size(), 259u);
    stored.registryOperatorName = std::wstring(260, L'r');
    EXPECT_EQ(SettingsFromStored(stored).operatorName, std::wstring(259, L'r'));
}

TEST(SettingsIniEntries, EightKeysInWriteOrder) {
    AppSettings s;
    s.operatorName = L"山田";
    s.organizationName = L"情報システム部";
    s.certOutputDir = L"F:\\Morvane_Erasure_Logs";
    s.defaultStandard = 7;
    s.defaultVerify = 2;
    s.defaultExecMode = 1;
    s.writeDiskStamp = 1;
    s.enableLogOutput = 0;
    const auto entries = SettingsIniEntries(s);
    struct Expected {
        std::wstring section, key, value;
    };
    const Expected expected[] = {
        {L"General", L"OperatorName", L"山田"},
        {L"General", L"OrganizationName", L"情報システム部"},
        {L"General", L"CertOutputDir", L"F:\\Morvane_Erasure_Logs"},
        {L"Sanitization", L"DefaultStandard", L"7"},
        {L"Sanitization", L"DefaultVerify", L"2"},
        {L"Sanitization", L"WriteDiskStamp", L"1"},
        {L"Sanitization", L"EnableLogOutput", L"0"},
        {L"Safety", L"DefaultExecMode", L"1"},
    };
    ASSERT_EQ(entries.size(), std::size(expected));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].section, expected[i].section) << i;
        EXPECT_EQ(entries[i].key, expected[i].key) << i;
        EXPECT_EQ(entries[i].value, expected[i].value) << i;
    }
    // "%d" of a value past INT_MAX is negative; loading then rejects it.
    s.defaultStandard = 0xFFFFFFFFu;
    EXPECT_EQ(SettingsIniEntries(s)[3].value, L"-1");
}

TEST(SettingsIniPathFor, Table) {
    struct Case {
        std::wstring appData, exe, expected;
    };
    const Case cases[] = {
        {L"C:\\Users\\op\\AppData\\Local", L"C:\\Tools\\M.exe",
         L"C:\\Users\\op\\AppData\\Local\\Morvane\\DiskEraser\\MorvaneDiskEraser.ini"},
        {L"", L"C:\\Tools\\M.exe", L"C:\\Tools\\MorvaneDiskEraser.ini"},
        {L"", L"X:/Windows/System32/M.exe", L"X:/Windows/System32\\MorvaneDiskEraser.ini"},
        {L"", L"M.exe", L".\\MorvaneDiskEraser.ini"},
        {L"", L"", L".\\MorvaneDiskEraser.ini"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsIniPathFor(c.appData, c.exe), c.expected) << Narrow(c.exe);
    }
}

}  // namespace
}  // namespace morvane
