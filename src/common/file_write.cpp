// Whole-file writes through one CreateFileW / WriteFile pair.
#include "common/file_write.h"

#include "common/unique_handle.h"
#include "common/win32.h"

namespace morvane {

bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return ok && written == bytes.size();
}

}  // namespace morvane
