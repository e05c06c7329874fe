// Test helpers for the SMBIOS walk: a builder of raw firmware-table buffers and a
// read-only copy of bytes fenced by no-access pages, so a read outside them faults.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"

namespace morvane::testing {

// One structure: the formatted area (type and length filled in) and its strings.
struct SmbiosStructure {
    std::vector<std::uint8_t> formatted;
    std::vector<std::string> strings;

    SmbiosStructure(std::uint8_t type, std::size_t length) : formatted(length, 0) {
        Byte(0, type).Byte(1, static_cast<std::uint8_t>(length));
    }
    SmbiosStructure& Byte(std::size_t offset, std::uint8_t value) {
        return formatted.at(offset) = value, *this;
    }
    SmbiosStructure& Word(std::size_t offset, std::uint16_t value) {
        return Byte(offset, static_cast<std::uint8_t>(value)).Byte(offset + 1, static_cast<std::uint8_t>(value >> 8));
    }
    // Adds a string and stores its 1-based number at `offset`; empty text stores 0.
    SmbiosStructure& Str(std::size_t offset, const std::string& text) {
        if (!text.empty()) strings.push_back(text);
        return Byte(offset, text.empty() ? 0 : static_cast<std::uint8_t>(strings.size()));
    }
};

// Formatted areas, each string zero-terminated, a final zero (two without strings).
inline std::vector<std::uint8_t> SmbiosTable(const std::vector<SmbiosStructure>& structures) {
    std::vector<std::uint8_t> table;
    for (const SmbiosStructure& s : structures) {
        table.insert(table.end(), s.formatted.begin(), s.formatted.end());
        for (const std::string& text : s.strings) table.insert(table.end(), text.c_str(), text.c_str() + text.size() + 1);
        table.resize(table.size() + (s.strings.empty() ? 2 : 1), 0);
    }
    return table;
}

// As the firmware-table service returns it: an 8-byte header (table length at 4) and
// the table; `declared` 0 declares the table's own length.
inline std::vector<std::uint8_t> RawSmbios(const std::vector<std::uint8_t>& table, std::uint32_t declared = 0) {
    if (declared == 0) declared = static_cast<std::uint32_t>(table.size());
    std::vector<std::uint8_t> raw = {0, 3, 4, 0};
    for (int i = 0; i < 4; ++i) raw.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
    raw.insert(raw.end(), table.begin(), table.end());
    return raw;
}

inline std::vector<std::uint8_t> RawSmbios(const std::vector<SmbiosStructure>& structures) {
    return RawSmbios(SmbiosTable(structures));
}

// A read past a fence ends the run at once: left unhandled, Wine would start its
// debugger and the run would hang until the CTest timeout.
inline LONG WINAPI ExitOnFault(EXCEPTION_POINTERS* info) {
    std::printf("FATAL: exception %08lx\n", info->ExceptionRecord->ExceptionCode), std::fflush(stdout);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// A read-only copy flush against the no-access page after it: reading past its end faults.
class FencedBytes {
public:
    explicit FencedBytes(std::span<const std::uint8_t> bytes) {
        static const bool installed = (::SetUnhandledExceptionFilter(ExitOnFault), true);
        (void)installed;
        constexpr std::size_t page = 4096;  // x86 and x64
        const std::size_t pages = bytes.empty() ? 1 : (bytes.size() + page - 1) / page;
        block_ = PageBuffer((pages + 2) * page);
        if (!block_) return;
        unsigned char* area = block_.data() + page;
        unsigned char* start = area + pages * page - bytes.size();
        if (!bytes.empty()) std::memcpy(start, bytes.data(), bytes.size());
        DWORD old = 0;
        ok_ = ::VirtualProtect(block_.data(), page, PAGE_NOACCESS, &old) &&
              ::VirtualProtect(area + pages * page, page, PAGE_NOACCESS, &old) &&
              ::VirtualProtect(area, pages * page, PAGE_READONLY, &old);
        bytes_ = std::span<const std::uint8_t>(start, bytes.size());
    }

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::span<const std::uint8_t> bytes() const { return bytes_; }
private:
    PageBuffer block_;
    std::span<const std::uint8_t> bytes_;
    bool ok_ = false;
};

}  // namespace morvane::testing
