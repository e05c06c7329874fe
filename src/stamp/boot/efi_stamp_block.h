/* The report block inside each UEFI application: the program reads it from its own
   initialised data, and the stamp builder finds it by its magic and overwrites it
   with the run's texts. Shared by the C boot programs and the C++ builder, so both
   sides agree on every offset (checked below on both sides). */
#ifndef MORVANE_EFI_STAMP_BLOCK_H
#define MORVANE_EFI_STAMP_BLOCK_H

#define EFI_STAMP_MAGIC "ZOLT_EFI_STAMP_V2_MAGIC"

#ifdef __cplusplus
#define EFI_STAMP_ASSERT(condition, message) static_assert(condition, message)
namespace morvane {
#else
#define EFI_STAMP_ASSERT(condition, message) _Static_assert(condition, message)
#endif

#pragma pack(push, 1)
struct EfiStampRow {
    char label[28];
    char value[92];
};

struct EfiStampBlock {
    char magic[24];
    char title[96];
    char status[32];
    struct EfiStampRow report[7];
    struct EfiStampRow hardware[15];
};
#pragma pack(pop)

EFI_STAMP_ASSERT(__builtin_offsetof(struct EfiStampRow, label) == 0, "row label offset");
EFI_STAMP_ASSERT(__builtin_offsetof(struct EfiStampRow, value) == 28, "row value offset");
EFI_STAMP_ASSERT(sizeof(struct EfiStampRow) == 120, "row size");
EFI_STAMP_ASSERT(__builtin_offsetof(struct EfiStampBlock, magic) == 0, "magic offset");
EFI_STAMP_ASSERT(__builtin_offsetof(struct EfiStampBlock, title) == 24, "title offset");
EFI_STAMP_ASSERT(__builtin_offsetof(struct EfiStampBlock, status) == 120, "status offset");
EFI_STAMP_ASSERT(__builtin_offsetof(struct EfiStampBlock, report) == 152, "report rows offset");
EFI_STAMP_ASSERT(__builtin_offsetof(struct EfiStampBlock, hardware) == 992, "hardware rows offset");
EFI_STAMP_ASSERT(sizeof(struct EfiStampBlock) == 2792, "block size");
EFI_STAMP_ASSERT(sizeof(EFI_STAMP_MAGIC) <= 24, "magic fits its field");

#ifdef __cplusplus
}  // namespace morvane
#endif
#undef EFI_STAMP_ASSERT

#endif
