// Fallbacks, defaults and the summary lines of the hardware profile.
#include "hwinfo/profile_compose.h"

#include "common/text.h"

namespace morvane {

namespace {

constexpr std::uint32_t kMinSectorSize = 512;

void ApplyRegistryFallbacks(const BiosRegistryValues& bios, HardwareProfile& p) {
    if (p.manufacturer.empty()) p.manufacturer = bios.systemManufacturer;
    if (p.model.empty()) p.model = bios.systemProductName;
    if (p.motherboard.empty() &&
        (!bios.baseBoardManufacturer.empty() || !bios.baseBoardProduct.empty())) {
        p.motherboard = bios.baseBoardManufacturer + L" / " + bios.baseBoardProduct;
    }
    if (p.biosInformation.empty()) {
        p.biosInformation = BiosLine(bios.biosVendor, bios.biosVersion, bios.biosReleaseDate);
    }
}

// Order matters: the motherboard default is built from the defaulted identity.
void ApplyIdentityDefaults(HardwareProfile& p) {
    if (p.manufacturer.empty()) p.manufacturer = L"Standard System Vendor";
    if (p.chassisType.empty()) p.chassisType = L"Desktop / Space-saving";
    if (p.model.empty()) p.model = L"Standard PC";
    if (p.serial.empty()) p.serial = L"None / System Default";
    if (p.uuid.empty()) p.uuid = L"00000000-0000-0000-0000-000000000000";
    if (p.assetTag.empty() || p.assetTag == L"Default string" ||
        p.assetTag == L"To Be Filled By O.E.M.") {
        p.assetTag = L"None";
    }
    if (p.motherboard.empty()) p.motherboard = p.manufacturer + L" / " + p.model;
    if (p.biosInformation.empty()) p.biosInformation = L"Unknown BIOS";
}

// The SMBIOS line begins with the vendor; a table without one leaves the line starting
// with the separator of the next part (", ROM size: 64 KB"), which is dropped here.
std::wstring WithoutLeadingSeparator(const std::wstring& line) {
    return line.rfind(L", ", 0) == 0 ? line.substr(2) : line;
}

}  // namespace

std::wstring BiosLine(const std::wstring& vendor, const std::wstring& version, const std::wstring& date) {
    std::wstring line = vendor;
    const auto add = [&line](const wchar_t* label, const std::wstring& value) {
        if (value.empty()) return;
        if (!line.empty()) line += L", ";
        line += label + value;
    };
    add(L"Version: ", version);
    add(L"Date: ", date);
    return line;
}

std::wstring ProcessorLine(const ProcessorFacts& cpu, std::uint32_t smbiosClockMhz,
                           std::uint32_t smbiosCoreCount) {
    std::wstring name = Trim(cpu.registryName);
    if (name.empty()) name = L"x86/x64 Compatible Processor";
    const std::uint32_t clock = cpu.registryMhz != 0 ? cpu.registryMhz : smbiosClockMhz;
    const std::uint32_t cores = smbiosCoreCount != 0 ? smbiosCoreCount : cpu.logicalCount;
    return name + L", Current speed: " + std::to_wstring(clock) + L" MHz, Cores: " +
           std::to_wstring(cores) + L" (" + std::to_wstring(cpu.logicalCount) + L" Threads)";
}

std::wstring MemoryLine(std::uint64_t totalPhysicalBytes, std::uint32_t populatedBanks,
                        std::uint32_t freeBanks) {
    const std::uint32_t shown = populatedBanks != 0 ? populatedBanks : 1;
    return std::to_wstring(totalPhysicalBytes >> 20) + L" MB, Populated banks: " +
           std::to_wstring(shown) + L", Free memory banks: " + std::to_wstring(freeBanks);
}

std::wstring DiskLine(const DiskInfo& disk) {
    return FormatSize(disk.sizeBytes) + L" " + MediaKindName(disk.mediaKind) + L", Model: " +
           disk.model + L", Serial: " + disk.serialNumber;
}

std::wstring DiskGeometryLine(const DiskInfo& disk) {
    // A disk that reports no (or a tiny) sector size is counted in 512-byte sectors.
    const std::uint32_t sectorSize =
        disk.bytesPerSector < kMinSectorSize ? kMinSectorSize : disk.bytesPerSector;
    return BusKindName(disk.busKind) + L" " + FormatSize(disk.sizeBytes) + L" / " +
           std::to_wstring(disk.sizeBytes / sectorSize) + L" Sector(s), Sector size: " +
           std::to_wstring(sectorSize) + L" B";
}

HardwareProfile ComposeHardwareProfile(const SmbiosFacts& smbios, const BiosRegistryValues& bios,
                                       const ProcessorFacts& cpu, std::uint64_t totalPhysicalBytes,
                                       const DiskInfo& disk, const DeviceInventory& devices) {
    HardwareProfile p;
    p.manufacturer = smbios.manufacturer;
    p.chassisType = smbios.chassisType;
    p.model = smbios.model;
    p.serial = smbios.serial;
    p.uuid = smbios.uuid;
    p.assetTag = smbios.assetTag;
    p.motherboard = smbios.motherboard;
    p.biosInformation = WithoutLeadingSeparator(smbios.biosInformation);
    ApplyRegistryFallbacks(bios, p);
    ApplyIdentityDefaults(p);

    p.processor = ProcessorLine(cpu, smbios.clockMhz, smbios.coreCount);
    p.totalMemory = MemoryLine(totalPhysicalBytes, smbios.populatedBanks, smbios.freeBanks);
    p.disk = DiskLine(disk);
    p.diskGeometry = DiskGeometryLine(disk);

    p.graphicsCard = GraphicsCardText(devices.display, devices.displayDevice);
    p.soundCards = SoundCardsText(devices.media);
    p.networkAdapters = NetworkAdaptersText(devices.adapterItems, devices.netClass);
    p.storageController = StorageControllerText(devices.scsiAdapters, devices.hdc);
    return p;
}

}  // namespace morvane
