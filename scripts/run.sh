#!/usr/bin/env bash
# Installs what is missing, builds the program and shows where it is and how to start it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target MorvaneDiskEraser
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target MorvaneDiskEraser
echo
echo "x64 program: $(pwd)/build/win64/src/MorvaneDiskEraser.exe"
echo "x86 program: $(pwd)/build/win32/src/MorvaneDiskEraser.exe"
echo "Start it under Wine: WINEPREFIX=$(pwd)/build/win64/wineprefix wine build/win64/src/MorvaneDiskEraser.exe"
