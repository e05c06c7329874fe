// The log callback every long operation takes by value: one line, no terminator.
// An empty callback is never called.
#pragma once

#include <functional>
#include <string>

namespace morvane {

using LogCallback = std::function<void(const std::wstring&)>;

inline void EmitLog(const LogCallback& log, const std::wstring& line) {
    if (log) log(line);
}

}  // namespace morvane
