// The one include of <windows.h> for the whole program, with the storage IOCTL
// declarations. The build sets UNICODE, WIN32_LEAN_AND_MEAN, NOMINMAX and
// _WIN32_WINNT once for every file, so everything sees the same API surface.
#pragma once

#include <windows.h>
#include <winioctl.h>
