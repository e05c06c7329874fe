#!/usr/bin/env bash
# Builds both programs and lays out the distribution folder dist/: the x64 program
# MorvaneDiskEraser.exe with the 32-bit build beside it as MorvaneDiskEraser_x86.exe,
# the name the WinPE builder looks for when it makes an x86 medium.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target MorvaneDiskEraser
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target MorvaneDiskEraser

x64=build/win64/src/MorvaneDiskEraser.exe
x86=build/win32/src/MorvaneDiskEraser.exe
for f in "$x64" "$x86"; do
  [ -f "$f" ] || { echo "package: missing $f" >&2; exit 1; }
done

rm -rf dist
mkdir -p dist
cp "$x64" dist/MorvaneDiskEraser.exe
cp "$x86" dist/MorvaneDiskEraser_x86.exe
echo "Distribution folder: $(pwd)/dist"
ls -l dist
