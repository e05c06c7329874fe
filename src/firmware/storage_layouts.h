// The Windows storage structures, codes and constants the firmware commands use, in one
// place: those mingw-w64 lacks are declared here, and every layout the request builders
// and answer parsers rely on is pinned by size and offset for both x64 and x86.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/win32.h"

namespace morvane {

// --- Values from the Windows SDK's winioctl.h / ntddstor.h that mingw-w64 does not define.
inline constexpr DWORD kStorageProtocolStructureVersion = 1;            // STORAGE_PROTOCOL_STRUCTURE_VERSION
inline constexpr DWORD kProtocolCommandFlagAdapterRequest = 0x80000000;  // ..._COMMAND_FLAG_ADAPTER_REQUEST
inline constexpr DWORD kProtocolCommandLengthNvme = 64;                  // STORAGE_PROTOCOL_COMMAND_LENGTH_NVME
inline constexpr DWORD kProtocolSpecificNvmeAdminCommand = 1;            // ..._SPECIFIC_NVME_ADMIN_COMMAND
inline constexpr DWORD kProtocolStatusSuccess = 1;                       // STORAGE_PROTOCOL_STATUS_SUCCESS

// STORAGE_SANITIZE_METHOD, as carried in STORAGE_REINITIALIZE_MEDIA.
inline constexpr DWORD kStorageSanitizeMethodBlockErase = 1;
inline constexpr DWORD kStorageSanitizeMethodCryptoErase = 2;

// STORAGE_PROTOCOL_COMMAND: the fixed part is 80 bytes, the protocol's own command
// (64 bytes for NVMe) starts at Command. Length is sizeof, 84 with the one-byte array.
struct STORAGE_PROTOCOL_COMMAND {
    DWORD Version;
    DWORD Length;
    DWORD ProtocolType;  // STORAGE_PROTOCOL_TYPE
    DWORD Flags;
    DWORD ReturnStatus;
    DWORD ErrorCode;
    DWORD CommandLength;
    DWORD ErrorInfoLength;
    DWORD DataToDeviceTransferLength;
    DWORD DataFromDeviceTransferLength;
    DWORD TimeOutValue;
    DWORD ErrorInfoOffset;
    DWORD DataToDeviceBufferOffset;
    DWORD DataFromDeviceBufferOffset;
    DWORD CommandSpecific;
    DWORD Reserved0;
    DWORD FixedProtocolReturnData;
    DWORD FixedProtocolReturnData2;
    DWORD Reserved1[2];
    BYTE Command[1];
};

// STORAGE_REINITIALIZE_MEDIA, the optional input of IOCTL_STORAGE_REINITIALIZE_MEDIA.
// Windows declares SanitizeOption as a bit-field struct; it is kept as one DWORD here and
// filled with the masks below, so no compiler's bit-field order can move a bit.
struct STORAGE_REINITIALIZE_MEDIA {
    DWORD Version;  // sizeof, like Size
    DWORD Size;
    DWORD TimeoutInSeconds;
    DWORD SanitizeOption;
};
inline constexpr DWORD kSanitizeOptionMethodMask = 0x0000000F;          // bits 3:0 SanitizeMethod
inline constexpr DWORD kSanitizeOptionDisallowUnrestrictedExit = 0x10;  // bit 4

// --- The pinned layouts (the win32 build proves the x86 side).
static_assert(sizeof(STORAGE_PROTOCOL_COMMAND) == 84);
static_assert(offsetof(STORAGE_PROTOCOL_COMMAND, ReturnStatus) == 16);
static_assert(offsetof(STORAGE_PROTOCOL_COMMAND, CommandLength) == 24);
static_assert(offsetof(STORAGE_PROTOCOL_COMMAND, TimeOutValue) == 40);
static_assert(offsetof(STORAGE_PROTOCOL_COMMAND, CommandSpecific) == 56);
static_assert(offsetof(STORAGE_PROTOCOL_COMMAND, FixedProtocolReturnData) == 64);
static_assert(offsetof(STORAGE_PROTOCOL_COMMAND, Command) == 80);
inline constexpr std::size_t kProtocolCommandHeaderSize = offsetof(STORAGE_PROTOCOL_COMMAND, Command);

static_assert(sizeof(STORAGE_REINITIALIZE_MEDIA) == 16);
static_assert(offsetof(STORAGE_REINITIALIZE_MEDIA, TimeoutInSeconds) == 8);
static_assert(offsetof(STORAGE_REINITIALIZE_MEDIA, SanitizeOption) == 12);

// mingw-w64's own declarations that the property queries use.
static_assert(offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters) == 8);
static_assert(sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA) == 40);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestValue) == 8);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataOffset) == 16);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataLength) == 20);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestSubValue4) == 36);
static_assert(sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR) == 48);
static_assert(offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData) == 8);
static_assert(sizeof(SCSI_ADDRESS) == 8 && offsetof(SCSI_ADDRESS, PortNumber) == 4);

// Where the protocol data starts inside a query and inside its answer.
inline constexpr std::size_t kPropertyQueryHeaderSize =
    offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters) + sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA);
inline constexpr std::size_t kProtocolDataDescriptorSize = sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR);

static_assert(StorageAdapterProtocolSpecificProperty == 49 && PropertyStandardQuery == 0);
static_assert(ProtocolTypeNvme == 3 && NVMeDataTypeIdentify == 1 && NVMeDataTypeLogPage == 2);
static_assert(StorageDeviceProtocolSpecificProperty == 50 && ProtocolTypeAta == 2 && AtaDataTypeIdentify == 1);

// The device controls, as plain numbers so a fake transport can tell them apart.
inline constexpr DWORD kIoctlQueryProperty = IOCTL_STORAGE_QUERY_PROPERTY;
inline constexpr DWORD kIoctlProtocolCommand = IOCTL_STORAGE_PROTOCOL_COMMAND;
inline constexpr DWORD kIoctlReinitializeMedia = IOCTL_STORAGE_REINITIALIZE_MEDIA;
inline constexpr DWORD kIoctlScsiGetAddress = IOCTL_SCSI_GET_ADDRESS;
static_assert(kIoctlQueryProperty == 0x002D1400 && kIoctlProtocolCommand == 0x002DD3C0);
static_assert(kIoctlReinitializeMedia == 0x002D9640 && kIoctlScsiGetAddress == 0x00041018);

// --- The pass-through requests of SATA and SAS drives.
// ATA_PASS_THROUGH_EX (IOCTL_ATA_PASS_THROUGH, buffered): the data follows the structure
// at DataBufferOffset in the same buffer, so the whole request is plain bytes. The task
// files are Features, Count, LBA 7:0, LBA 15:8, LBA 23:16, Device, Command, reserved; on
// return Error and Status stand where Features and Command were. PreviousTaskFile holds
// the high-order byte of each 16-bit field and LBA 47:24 of a 48-bit command.
#if defined(_WIN64)
static_assert(sizeof(ATA_PASS_THROUGH_EX) == 48);
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset) == 24);
static_assert(offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile) == 32);
static_assert(offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile) == 40);
#else
static_assert(sizeof(ATA_PASS_THROUGH_EX) == 40);
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset) == 20);
static_assert(offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile) == 24);
static_assert(offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile) == 32);
#endif
static_assert(offsetof(ATA_PASS_THROUGH_EX, AtaFlags) == 2 && offsetof(ATA_PASS_THROUGH_EX, PathId) == 4);
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataTransferLength) == 8);
static_assert(offsetof(ATA_PASS_THROUGH_EX, TimeOutValue) == 12);
static_assert(ATA_FLAGS_DRDY_REQUIRED == 1 && ATA_FLAGS_DATA_IN == 2 && ATA_FLAGS_48BIT_COMMAND == 8);

// SCSI_PASS_THROUGH_DIRECT (IOCTL_SCSI_PASS_THROUGH_DIRECT): the sense area follows the
// structure at SenseInfoOffset; the data is reached through the DataBuffer pointer, which
// the request builders leave as the data's offset in the request and the real transport
// turns into an address inside its own copy (see transport_win32.cpp).
#if defined(_WIN64)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 32);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 36);
#else
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28);
#endif
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) == 2 && offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength) == 6);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength) == 7 && offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == 8);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16);
static_assert(SCSI_IOCTL_DATA_OUT == 0 && SCSI_IOCTL_DATA_IN == 1 && SCSI_IOCTL_DATA_UNSPECIFIED == 2);

inline constexpr DWORD kIoctlAtaPassThrough = IOCTL_ATA_PASS_THROUGH;
inline constexpr DWORD kIoctlScsiPassThroughDirect = IOCTL_SCSI_PASS_THROUGH_DIRECT;
static_assert(kIoctlAtaPassThrough == 0x0004D02C && kIoctlScsiPassThroughDirect == 0x0004D014);

}  // namespace morvane
