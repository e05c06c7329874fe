// The application object of the windowed program: created by the entry point before
// the main window, torn down after the message loop ends.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "common/win32.h"
#include "disk/disk_info.h"
#include "erase/records.h"
#include "settings/settings_store.h"
#include "ui/fonts.h"
#include "ui/main_controls.h"
#include "ui/services.h"
#include "ui/worker_channel.h"

namespace morvane {

// Past this many characters the console drops its oldest lines.
inline constexpr std::size_t kConsoleCapChars = 1000000;

// Starts a worker thread; throws std::system_error when the system cannot.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

// A worker's completion that arrived while a modal window of this program was open.
struct HeldCompletion {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct AppState {
    explicit AppState(UiServices& services) : services(services) {}
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
    // Asks a running erasure to stop and waits for the worker to return.
    ~AppState();

    UiServices& services;
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    MainFonts fonts;
    ControlHandles controls{};
    std::uint32_t isWinPE = 0;  // the real detection, taken once at window creation
    std::uint32_t isAdmin = 0;
    AppSettings settings;
    std::vector<DiskInfo> disks;  // the rows of the disk list, in order
    std::int32_t selectedDisk = -1;
    CancelFlag abortRequested{0};
    std::atomic<std::uint32_t> busy{0};  // 1 while any worker runs; cleared on the window thread only
    std::thread worker;
    WorkerChannel channel;  // under one lock: latest progress, last result, pending log lines

    // Window thread only.
    double layoutFactor = 1.0;
    int modalDepth = 0;     // modal windows of this program open now
    int dispatchDepth = 0;  // nesting of the window procedure
    std::optional<HeldCompletion> heldCompletion;
    bool closeWhenIdle = false;  // a close was confirmed while a worker ran
    bool eraseRunning = false;   // the running worker is an erasure (not the kit or WinPE)
    bool firmwareStepRunning = false;  // the last progress shown came from the drive's own sanitize
    std::size_t consoleCapChars = kConsoleCapChars;
    ThreadStarter startThread = [](std::function<void()> body) { return std::thread(std::move(body)); };
    // The window thread's execution state: ES_SYSTEM_REQUIRED keeps the machine awake
    // while a worker runs.
    std::function<EXECUTION_STATE(EXECUTION_STATE)> setExecutionState = ::SetThreadExecutionState;
    bool shutdownBlockWarned = false;  // told once that shutdown cannot be blocked here

    [[nodiscard]] HWND Control(ControlId id) const { return controls[id - kFirstControlId]; }
};

}  // namespace morvane
