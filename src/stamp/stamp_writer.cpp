// Writes the stamp image to an open handle: a physical disk or a plain file alike.
#include "stamp/stamp_writer.h"

#include <cstring>

#include "common/unique_handle.h"
#include "stamp/glyph_gdi.h"
#include "stamp/stamp_image.h"

namespace morvane {

bool WriteReportStamp(HANDLE disk, std::uint32_t sectorSize, const ReportStamp& stamp, const LogCallback& log) {
    if (disk == nullptr || disk == INVALID_HANDLE_VALUE) return false;
    // Text outside ASCII reaches the UEFI screen as glyphs of the program's Japanese face.
    const std::vector<std::uint8_t> image =
        BuildStampImage(stamp, sectorSize, EmbeddedBootPrograms(), JapaneseGlyphRenderer());
    if (image.empty()) return false;

    // Unbuffered disk handles need a page-aligned buffer whose length is whole sectors.
    PageBuffer buffer(image.size());
    if (!buffer) return false;
    std::memcpy(buffer.data(), image.data(), image.size());

    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(disk, start, nullptr, FILE_BEGIN)) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(disk, buffer.data(), static_cast<DWORD>(buffer.size()), &written, nullptr);
    ::FlushFileBuffers(disk);
    // Lets Windows see the new partition table; fails harmlessly on a plain file.
    DWORD ignored = 0;
    ::DeviceIoControl(disk, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &ignored, nullptr);
    if (!ok || written != buffer.size()) return false;

    EmitLog(log,
            L"[DISK STAMP] 実機起動レポート画面 (BIOS/CSM フルスクリーン & UEFI GOP グラフィック両対応スタンプ) "
            L"をディスクへ記録しました。");
    return true;
}

}  // namespace morvane
