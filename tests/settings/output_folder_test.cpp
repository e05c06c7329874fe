// Output-folder decisions driven by a synthetic environment: the WinPE removable-drive
// rule, the documents and beside-the-program fallbacks, and the drive check's reasons.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "settings/output_folder.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::Narrow;

struct Drive {
    std::wstring root;
    unsigned type;
    bool writeProtected = false;
};

class FakeSystem : public OutputFolderSystem {
public:
    bool winPE = false;
    std::vector<Drive> drives;
    std::set<std::wstring> existing;  // folders that already exist
    std::wstring documents = L"C:\\Users\\op\\Documents";
    std::wstring exe = L"C:\\Tools\\MorvaneDiskEraser.exe";

    std::vector<std::wstring> typeQueries, createAttempts, probes;
    int rootListings = 0;

    bool IsWinPE() override { return winPE; }
    std::vector<std::wstring> DriveRoots() override {
        ++rootListings;
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
        createAttempts.push_back(path);
        if (existing.count(path)) return FolderCreation::AlreadyExisted;
        const Drive* d = Find(path);
        if (d && d->writeProtected) return FolderCreation::Failed;
        existing.insert(path);
        return FolderCreation::Created;
    }
    bool CanWriteInto(const std::wstring& folder) override {
        probes.push_back(folder);
        const Drive* d = Find(folder);
        return !(d && d->writeProtected);
    }
    std::wstring DocumentsFolder() override { return documents; }
    std::wstring ExecutablePath() override { return exe; }

private:
    const Drive* Find(const std::wstring& path) const {
        for (const Drive& d : drives) {
            if (!path.empty() && !d.root.empty() && towupper(path[0]) == towupper(d.root[0])) return &d;
        }
        return nullptr;
    }
};

constexpr unsigned kRemovable = kDriveTypeRemovable;
constexpr unsigned kFixed = kDriveTypeFixed;
constexpr unsigned kCdRom = kDriveTypeCdRom;

TEST(DefaultOutputFolder, WinPEPicksTheFirstWritableRemovableDrive) {
    FakeSystem system;
    system.winPE = true;
    system.drives = {{L"A:\\", kRemovable},
                     {L"C:\\", kFixed},
                     {L"E:\\", kRemovable, /*writeProtected=*/true},
                     {L"F:\\", kRemovable},
                     {L"G:\\", kRemovable}};
    EXPECT_EQ(DefaultOutputFolder(system), L"F:\\Morvane_Erasure_Logs");
    // A: is skipped before its type is asked; E: was tried and refused; G: never tried.
    EXPECT_EQ(system.typeQueries, (std::vector<std::wstring>{L"C:\\", L"E:\\", L"F:\\"}));
    EXPECT_EQ(system.createAttempts,
              (std::vector<std::wstring>{L"E:\\Morvane_Erasure_Logs", L"F:\\Morvane_Erasure_Logs"}));
    EXPECT_TRUE(system.existing.count(L"F:\\Morvane_Erasure_Logs"));
}

TEST(DefaultOutputFolder, DecisionTable) {
    struct Case {
        const char* name;
        bool winPE;
        std::vector<Drive> drives;
        std::set<std::wstring> existing;
        std::wstring documents;
        std::wstring exe;
        std::wstring expected;
    };
    const std::wstring docs = L"C:\\Users\\op\\Documents";
    const std::wstring docsFolder = docs + L"\\Morvane Disk Eraser Certificates";
    const std::wstring exe = L"C:\\Tools\\MorvaneDiskEraser.exe";
    const Case cases[] = {
        {"WinPE, X: RAM disk and B: (lower case) skipped even when removable", true,
         {{L"b:\\", kRemovable}, {L"X:\\", kRemovable}, {L"y:\\", kRemovable}}, {}, docs, exe,
         L"y:\\Morvane_Erasure_Logs"},
        {"WinPE, no removable drive: documents", true,
         {{L"C:\\", kFixed}, {L"D:\\", kCdRom}, {L"X:\\", kFixed}}, {}, docs, exe, docsFolder},
        {"WinPE, only a write-protected stick: documents", true,
         {{L"E:\\", kRemovable, true}}, {}, docs, exe, docsFolder},
        {"WinPE, existing log folder on a writable stick is reused", true,
         {{L"E:\\", kRemovable}}, {L"E:\\Morvane_Erasure_Logs"}, docs, exe,
         L"E:\\Morvane_Erasure_Logs"},
        {"WinPE, existing log folder on a write-protected stick is passed over", true,
         {{L"E:\\", kRemovable, true}, {L"F:\\", kRemovable}}, {L"E:\\Morvane_Erasure_Logs"}, docs,
         exe, L"F:\\Morvane_Erasure_Logs"},
        {"WinPE, roots shorter than two characters skipped", true,
         {{L"E", kRemovable}, {L"", kRemovable}, {L"H:\\", kRemovable}}, {}, docs, exe,
         L"H:\\Morvane_Erasure_Logs"},
        {"outside WinPE a writable stick is never considered", false,
         {{L"C:\\", kFixed}, {L"F:\\", kRemovable}}, {}, docs, exe, docsFolder},
        {"no documents folder: beside the program", false, {}, {}, L"", exe,
         L"C:\\Tools\\Certificates"},
        {"no documents folder, forward slashes", false, {}, {}, L"", L"D:/pe/bin/MorvaneDiskEraser.exe",
         L"D:/pe/bin\\Certificates"},
        {"no documents folder, bare program name", false, {}, {}, L"", L"MorvaneDiskEraser.exe",
         L".\\Certificates"},
        {"WinPE, no stick and no documents: beside the program", true, {{L"X:\\", kFixed}}, {}, L"",
         L"X:\\Windows\\System32\\MorvaneDiskEraser.exe", L"X:\\Windows\\System32\\Certificates"},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.winPE = c.winPE;
        system.drives = c.drives;
        system.existing = c.existing;
        system.documents = c.documents;
        system.exe = c.exe;
        const std::wstring folder = DefaultOutputFolder(system);
        EXPECT_EQ(folder, c.expected) << c.name;
        EXPECT_TRUE(system.existing.count(folder)) << c.name << ": the folder is created";
        if (!c.winPE) {
            EXPECT_EQ(system.rootListings, 0) << c.name;
        }
    }
}

TEST(DefaultOutputFolder, AlwaysReturnsAPathEvenWhenNothingCanBeCreated) {
    FakeSystem system;
    system.documents.clear();
    system.exe = L"E:\\MorvaneDiskEraser.exe";
    system.drives = {{L"E:\\", kRemovable, true}};
    EXPECT_EQ(DefaultOutputFolder(system), L"E:\\Certificates");
}

TEST(ValidateOutputPath, ReasonTable) {
    const std::wstring relative = L"相対パスまたは無効なパスです。";
    const std::wstring ramDisk =
        L"X:\\ は WinPE の一時RAMディスクのため、PCを再起動・電源OFFすると保存したログが消えてしまいます。";
    const std::wstring cdRom = L" は CD/DVD/ISO 読み取り専用ドライブのため書き込みできません。";
    const std::wstring untouched = L"(unchanged)";
    struct Case {
        std::wstring path;
        bool winPE;
        bool unsuitable;
        std::wstring reason;
    };
    const Case cases[] = {
        {L"Certificates", false, true, relative},
        {L"", false, true, relative},
        {L"C", false, true, relative},
        {L"\\\\server\\share\\logs", false, true, relative},
        {L"\\\\?\\C:\\logs", false, true, relative},
        // Drive-relative forms name the process's current folder on that drive.
        {L"C:", false, true, relative},
        {L"C:Certificates", false, true, relative},
        {L"1:\\logs", false, true, relative},
        {L"q:\\evidence", false, true, L"Q:\\" + cdRom},
        {L"Q:\\", true, true, L"Q:\\" + cdRom},
        {L"x:\\logs", true, true, ramDisk},
        {L"X:/logs", true, true, ramDisk},
        {L"x:\\logs", false, false, untouched},
        {L"C:\\Users\\op\\Documents\\Morvane Disk Eraser Certificates", false, false, untouched},
        {L"c:/logs", true, false, untouched},
        {L"F:\\Morvane_Erasure_Logs", true, false, untouched},
        {L"N:\\share", false, false, untouched},
        {L"W:\\no such drive", false, false, untouched},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.winPE = c.winPE;
        system.drives = {{L"C:\\", kFixed},
                         {L"F:\\", kRemovable},
                         {L"N:\\", kDriveTypeRemote},
                         {L"Q:\\", kCdRom},
                         {L"X:\\", kFixed}};
        std::wstring reason = untouched;
        EXPECT_EQ(ValidateOutputPath(c.path, reason, system), c.unsuitable) << Narrow(c.path);
        EXPECT_EQ(reason, c.reason) << Narrow(c.path);
        for (const std::wstring& root : system.typeQueries) {
            EXPECT_EQ(root.size(), 3u);
            EXPECT_TRUE(root[0] >= L'A' && root[0] <= L'Z') << "queried with an upper-case root";
        }
    }
}

}  // namespace
}  // namespace morvane
