// Display names of the erase records' enumerations.
#include "erase/records.h"

namespace morvane {

std::wstring ExecModeName(ExecMode mode) {
    return mode == ExecMode::RealHardwareWrite ? L"実機物理セクタ完全消去" : L"安全シミュレーション(DryRun)";
}

}  // namespace morvane
