// Process entry of MorvaneDiskEraser.exe (GUI subsystem): the headless self-test
// or the windowed application.
#include "common/unique_handle.h"
#include "common/win32.h"
#include "job/self_test.h"
#include "job/verify_command.h"
#include "ui/app_state.h"
#include "ui/main_window.h"
#include "ui/services.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLine, int show) {
    // Drive queries on empty card readers and optical drives must fail, not stop the
    // program behind a system "no disk" box (WinPE included).
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Nothing else (no COM, no window) is initialised on the self-test path.
    if (morvane::WantsSelfTest(commandLine)) return morvane::RunSelfTest();
    // Checking an evidence set is headless too.
    if (const auto evidence = morvane::VerifyArgument(commandLine)) return morvane::RunVerifyCommand(*evidence);

    const morvane::ComApartment com;
    if (!com.initialised()) return -1;
    // Declared after the apartment: the state (and with it the worker, which it joins)
    // is gone before COM is uninitialised.
    morvane::AppState state(morvane::SystemUiServices());
    if (!morvane::CreateMainWindow(state, instance, show)) return -1;
    const int code = morvane::RunMessageLoop(state);
    // The loop can end with the window still there (restart as administrator).
    if (state.window != nullptr) ::DestroyWindow(state.window);
    return code;
}
