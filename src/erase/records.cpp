// Display names of the erase records' enumerations.
#include "erase/records.h"

namespace morvane {

std::wstring ExecModeName(std::uint32_t mode) {
    return mode == RealHardwareWrite ? L"実機物理セクタ完全消去" : L"安全シミュレーション(DryRun)";
}

}  // namespace morvane
