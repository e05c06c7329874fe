// The one include of <windows.h> for the whole program, with every Windows
// sub-header the program uses, in the order they need. The build sets UNICODE,
// WIN32_LEAN_AND_MEAN, NOMINMAX and _WIN32_WINNT once for every file, so
// everything sees the same API surface.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <bcrypt.h>
#include <wincrypt.h>
#include <commctrl.h>
#include <commdlg.h>
#include <iptypes.h>
#include <ntddscsi.h>
#include <objbase.h>
#include <setupapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <softpub.h>
#include <wintrust.h>
