// Process entry of MorvaneDiskEraser.exe (GUI subsystem): the headless self-test
// or the windowed application.
#include "common/unique_handle.h"
#include "common/win32.h"
#include "job/self_test.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR commandLine, int /*show*/) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Nothing else (no COM, no window) is initialised on the self-test path.
    if (morvane::WantsSelfTest(commandLine)) return morvane::RunSelfTest();

    const morvane::ComApartment com;
    if (!com.initialised()) return -1;
    // The main window is not part of this build yet: a windowed start cannot
    // create it and ends with the window-creation failure code.
    return -1;
}
