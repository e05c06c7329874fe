#!/usr/bin/env bash
# Installs what is missing, builds the win64 and win32 programs and runs every test
# (GoogleTest executables under Wine, plus the boot and consumer checks) through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64
# 32-bit Windows programs cannot run on these machines: win32 is compiled and linked only.
cmake --preset win32 >/dev/null
cmake --build --preset win32
status=0
ctest --preset win64 || status=$?
# Stop the test prefix's Wine processes so nothing outlives the run.
WINEPREFIX="$(pwd)/build/win64/wineprefix" wineserver -k 2>/dev/null || true
exit $status
