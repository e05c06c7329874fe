// Tear-down of the application object.
#include "ui/app_state.h"

namespace morvane {

AppState::~AppState() {
    // An erasure stops at its next abort check; a kit or WinPE worker runs to its end
    // (DISM must unmount what it mounted). The worker only touches the channel and
    // the abort flag, which live until this body returns.
    abortRequested.exchange(1);
    if (worker.joinable()) worker.join();
}

}  // namespace morvane
