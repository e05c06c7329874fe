#!/usr/bin/env bash
# Installs what is missing, builds the program (x64 and x86) and runs its main job
# headless under Wine: the self-test, which erases in simulation mode, writes the
# three evidence files and engraves the bootable stamp into a temporary image.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
# Builds both programs and lays out dist/ (x64 program, x86 program beside it).
./scripts/package.sh

root="$(pwd)"
prefix="$root/build/win64/wineprefix"
exe="$root/build/win64/src/MorvaneDiskEraser.exe"
echo
echo "Running: MorvaneDiskEraser.exe --self-test (Wine prefix $prefix)"
set +e
"$root/cmake/wine-run.sh" "$prefix" "$exe" --self-test
code=$?
set -e
case $code in
  0) meaning="pipeline passed, stamp written into the temporary image" ;;
  1) meaning="the erase job did not complete" ;;
  2) meaning="the stamp record was marked failed" ;;
  3) meaning="the HTML certificate file is missing" ;;
  4) meaning="the hardware profile lacks manufacturer or processor" ;;
  5) meaning="the stamp writer failed on the temporary image" ;;
  6) meaning="the temporary stamp image could not be created (stamp writer not tested)" ;;
  *) meaning="unexpected exit code" ;;
esac
echo "Self-test exit code: $code ($meaning)"

folder="$(find "$prefix/drive_c/users" -maxdepth 3 -type d -name 'Morvane Disk Eraser Certificates' | head -n 1)"
if [ -n "$folder" ]; then
  echo "Evidence folder: $folder"
  echo "Newest evidence files:"
  ls -t "$folder" | head -n 3 | sed 's/^/  /'
fi
echo
echo "Programs: $root/dist/MorvaneDiskEraser.exe and $root/dist/MorvaneDiskEraser_x86.exe"
exit "$code"
