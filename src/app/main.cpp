// Process entry of MorvaneDiskEraser.exe (GUI subsystem).
#include "common/win32.h"

#include <objbase.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR commandLine, int /*show*/) {
    if (commandLine != nullptr && wcsstr(commandLine, L"--self-test") != nullptr) {
        // The headless self-test is not built yet: report failure rather than pretend.
        return 1;
    }
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return -1;
    // The main window is not built yet: a windowed start ends at once.
    ::CoUninitialize();
    return -1;
}
