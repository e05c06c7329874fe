#!/usr/bin/env bash
# Installs what is missing, builds the program (x64 and x86) and runs its main job
# headless under Wine: the self-test, which erases in simulation mode, writes the
# signed evidence set and engraves the bootable stamp into a temporary image.
#
# With --window it opens the main window instead: on the desktop when DISPLAY is set,
# otherwise on a virtual display (Xvfb, Japanese locale) of which it saves a
# screenshot as dist/main_window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
# Builds both programs and lays out dist/ (x64 program, x86 program beside it).
./scripts/package.sh

root="$(pwd)"
prefix="$root/build/win64/wineprefix"
exe="$root/build/win64/src/MorvaneDiskEraser.exe"

if [ "${1:-}" = "--window" ]; then
  export MORVANE_WINE_LC_ALL="${MORVANE_WINE_LC_ALL:-ja_JP.UTF-8}"
  # A Wine desktop of its own: the prefix's default desktop may belong to a test run
  # without a display, and Wine then draws the title bar and frame itself.
  size=1280x1024
  if [ -n "${DISPLAY:-}" ]; then
    if command -v xdpyinfo >/dev/null; then
      size="$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1] "x" d[2] - 80; exit }')"
    fi
    echo "Opening the main window on $DISPLAY (close it to end)"
    exec "$root/cmake/wine-run.sh" "$prefix" explorer "/desktop=MorvaneDiskEraser,$size" "$exe"
  fi
  n=91
  while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  # The program runs in its own process group so that it can be closed as a whole.
  DISPLAY=":$n" setsid "$root/cmake/wine-run.sh" "$prefix" explorer "/desktop=MorvaneDiskEraser,$size" "$exe" \
    >/dev/null 2>&1 &
  app=$!
  trap 'kill -- -"$app" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
  title="Morvane Disk Eraser v1.3.0"
  for _ in $(seq 1 90); do
    if command -v xwininfo >/dev/null && DISPLAY=":$n" xwininfo -root -tree 2>/dev/null | grep -q "$title"; then break; fi
    if ! command -v xwininfo >/dev/null && [ "$_" -ge 20 ]; then break; fi
    sleep 1
  done
  sleep 3  # let the first paint finish
  import -display ":$n" -window root dist/main_window.png
  echo "No display: the main window ran on a virtual display; screenshot: $root/dist/main_window.png"
  exit 0
fi
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
  ls -t "$folder" | head -n 10 | sed 's/^/  /'
fi
echo
echo "Programs: $root/dist/MorvaneDiskEraser.exe and $root/dist/MorvaneDiskEraser_x86.exe"
exit "$code"
