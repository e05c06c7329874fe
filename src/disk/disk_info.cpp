// Formatting of disk sizes, bus and media kinds.
#include "disk/disk_info.h"

#include <cstdio>

#include "common/win32.h"

namespace morvane {

bool HoldsDriveC(const DiskInfo& disk) {
    return disk.driveLetters.find(L"C:") != std::wstring::npos || disk.driveLetters.find(L"c:") != std::wstring::npos;
}

std::wstring FormatSize(std::uint64_t bytes) {
    if (bytes == 0) return L"0 B";
    wchar_t text[64];
    const double g = static_cast<double>(bytes) / 1073741824.0;
    if (g >= 1000.0) {
        std::swprintf(text, 64, L"%.2f TB", g / 1024.0);
    } else if (g >= 1.0) {
        std::swprintf(text, 64, L"%.2f GB", g);
    } else {
        std::swprintf(text, 64, L"%.1f MB", static_cast<double>(bytes) / 1048576.0);
    }
    return text;
}

std::wstring BusKindName(std::uint32_t busKind) {
    switch (busKind) {
        case BusUsb: return L"USB";
        case BusSata: return L"SATA";
        case BusNvme: return L"NVMe";
        case BusScsiSas: return L"SCSI/SAS";
        case BusSdCard: return L"SD Card";
        case BusMmc: return L"MMC";
        case BusRaid: return L"RAID";
        case BusVirtual: return L"Virtual";
        default: return L"Unknown";
    }
}

std::wstring MediaKindName(std::uint32_t mediaKind) {
    switch (mediaKind) {
        case MediaHdd: return L"HDD (磁気ディスク)";
        case MediaSsd: return L"SSD (SATA/SAS)";
        case MediaNvmeSsd: return L"NVMe SSD";
        case MediaRemovable: return L"リムーバブル (USB/フラッシュ)";
        default: return L"標準ストレージ";
    }
}

std::uint32_t BusKindFromStorageBusType(std::uint32_t t) {
    switch (t) {
        case 7: return BusUsb;                          // BusTypeUsb
        case 3: case 11: return BusSata;                // BusTypeAta, BusTypeSata
        case 17: return BusNvme;                        // BusTypeNvme
        case 1: case 6: case 9: case 10: return BusScsiSas;  // Scsi, Fibre, iScsi, Sas
        case 12: return BusSdCard;                      // BusTypeSd
        case 13: return BusMmc;                         // BusTypeMmc
        case 8: case 16: return BusRaid;                // BusTypeRAID, BusTypeSpaces
        case 14: case 15: return BusVirtual;            // Virtual, FileBackedVirtual
        default: return BusUnknown;                     // Atapi, 1394, Ssa and the rest
    }
}

std::optional<DriveProtocol> FirmwareProtocolOf(std::uint32_t busKind) {
    switch (busKind) {
        case BusNvme: return DriveProtocol::Nvme;
        case BusSata: return DriveProtocol::Ata;
        case BusScsiSas: return DriveProtocol::Scsi;
        default: return std::nullopt;
    }
}

}  // namespace morvane
