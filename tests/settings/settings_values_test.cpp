// Settings value rules without any store: integer parsing and ranges, text limits,
// the registry override, the INI layout and the INI path choice.
#include <gtest/gtest.h>

#include <tuple>

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
    AppSettings s{L"山田", L"情報システム部", L"F:\\Morvane_Erasure_Logs", 7, 2, 1, 1, 0};
    using Entry = std::tuple<std::wstring, std::wstring, std::wstring>;
    const auto flatten = [](const std::vector<IniEntry>& entries) {
        std::vector<Entry> out;
        for (const IniEntry& e : entries) out.emplace_back(e.section, e.key, e.value);
        return out;
    };
    EXPECT_EQ(flatten(SettingsIniEntries(s)), (std::vector<Entry>{
        {L"General", L"OperatorName", L"山田"},
        {L"General", L"OrganizationName", L"情報システム部"},
        {L"General", L"CertOutputDir", L"F:\\Morvane_Erasure_Logs"},
        {L"Sanitization", L"DefaultStandard", L"7"},
        {L"Sanitization", L"DefaultVerify", L"2"},
        {L"Sanitization", L"WriteDiskStamp", L"1"},
        {L"Sanitization", L"EnableLogOutput", L"0"},
        {L"Safety", L"DefaultExecMode", L"1"},
    }));
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
