// Developer tool: writes the report stamp of a sample record into an image file.
//   stamp_sample OUTPUT [SECTOR_SIZE] [sample|edge|japanese]
// Used by the boot and layout checks and handy for demonstrations; not part of the
// product's interface.
#include <cstdio>
#include <string>

#include "common/unique_handle.h"
#include "stamp/stamp_writer.h"

using namespace morvane;

namespace {

ReportStamp SampleStamp() {
    ReportStamp s;
    s.failed = false;
    s.certificateId = L"MDE-20261023-0042-A1B2C3";
    s.sanitizationDate = L"2026-10-23 14:05:09";
    s.productLine = L"Morvane Disk Eraser Suite v1.3.0";
    s.standardName = L"NIST SP 800-88 Rev.1 Purge";
    s.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
    s.diskModel = L"Samsung SSD 870 EVO 500GB";
    s.diskSerial = L"S62ANJ0R123456X";
    s.diskCapacity = L"465.76 GB";
    s.operatorName = L"Taro Yamada";
    s.organizationName = L"Morvane Tools Lab";
    s.sha256Fingerprint = L"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
    s.stampStatus = L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";
    s.passesCompleted = 1;
    HardwareProfile& h = s.hardware;
    h.manufacturer = L"QEMU";
    h.chassisType = L"Desktop";
    h.model = L"Standard PC (Q35 + ICH9, 2009)";
    h.serial = L"SN-0001";
    h.uuid = L"4C4C4544-0042-3010-8050-B4C04F563232";
    h.assetTag = L"ASSET-7";
    h.processor = L"Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz";
    h.totalMemory = L"16.00 GB";
    h.disk = L"Samsung SSD 870 EVO 500GB (465.76 GB)";
    h.diskGeometry = L"512 B/Sector, 976773168 Sectors";
    h.graphicsCard = L"Standard VGA Graphics Adapter";
    h.soundCards = L"High Definition Audio Device";
    h.networkAdapters = L"Intel(R) Ethernet 82574L (52:54:00:12:34:56)";
    h.motherboard = L"QEMU Standard PC";
    h.biosInformation = L"SeaBIOS 1.16.2 (04/01/2014)";
    h.storageController = L"Standard SATA AHCI Controller";
    return s;
}

// Separators, line breaks, Japanese text and over-long fields.
ReportStamp EdgeStamp() {
    ReportStamp s = SampleStamp();
    s.certificateId = L"MDE|EDGE\r\n-0001";
    s.operatorName = L"山田\u3000太郎 Yamada";
    s.organizationName = L"モルヴェイン株式会社";
    // Sixteen long hardware fields push the record past 2047 bytes.
    HardwareProfile& h = s.hardware;
    for (std::wstring* field : {&h.manufacturer, &h.chassisType, &h.model, &h.serial, &h.uuid, &h.assetTag,
                                &h.processor, &h.totalMemory, &h.disk, &h.diskGeometry, &h.graphicsCard,
                                &h.soundCards, &h.networkAdapters, &h.motherboard, &h.biosInformation,
                                &h.storageController}) {
        *field += L" " + std::wstring(110, L'x');
    }
    return s;
}

// A Japanese operator, organisation, standard, disk and device names, one list too
// long for any panel, and an asset tag with a character outside UTF-16's first plane
// (no glyph: a box): the UEFI screen draws them from the glyph file.
ReportStamp JapaneseStamp() {
    ReportStamp s = SampleStamp();
    s.operatorName = L"検査 太郎";
    s.organizationName = L"情報システム部";
    s.standardName = L"NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)";
    s.hardware.disk = L"76.60 GB HDD (内蔵ディスク)";
    s.hardware.assetTag = L"総務-\U00020BB7田-07";
    s.hardware.networkAdapters =
        L"Intel(R) イーサネット コネクション I219-V (52:54:00:12:34:56), Realtek PCIe GbE ファミリー "
        L"コントローラー (52:54:00:AB:CD:EF), Bluetooth デバイス (パーソナル エリア ネットワーク)";
    return s;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: stamp_sample OUTPUT [SECTOR_SIZE] [sample|edge|japanese]\n");
        return 2;
    }
    const std::uint32_t sector = argc > 2 ? static_cast<std::uint32_t>(std::wcstoul(argv[2], nullptr, 10)) : 512;
    const std::wstring variant = argc > 3 ? argv[3] : L"sample";
    const ReportStamp stamp = variant == L"edge"       ? EdgeStamp()
                              : variant == L"japanese" ? JapaneseStamp()
                                                       : SampleStamp();

    UniqueFile file(::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        std::fprintf(stderr, "stamp_sample: cannot create the output file\n");
        return 1;
    }
    if (!WriteReportStamp(file.get(), sector, stamp, nullptr)) {
        std::fprintf(stderr, "stamp_sample: writing the stamp failed\n");
        return 1;
    }
    return 0;
}
