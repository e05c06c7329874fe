// Process entry of MorvaneDiskEraser.exe (GUI subsystem): the headless self-test
// or the windowed application.
#include "common/win32.h"

#include <objbase.h>

#include "app/self_test.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR commandLine, int /*show*/) {
    // Nothing else (no COM, no window) is initialised on the self-test path.
    if (morvane::WantsSelfTest(commandLine)) return morvane::RunSelfTest();

    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return -1;
    // The main window is not part of this build yet: a windowed start cannot
    // create it and ends with the window-creation failure code.
    ::CoUninitialize();
    return -1;
}
