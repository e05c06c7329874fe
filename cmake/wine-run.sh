#!/usr/bin/env bash
# Runs one Windows executable under Wine for CTest: wine-run.sh PREFIX EXE [ARGS...]
#
# - The Wine prefix belongs to the build tree; it is created once (under a lock)
#   and never touches ~/.wine.
# - Wine's helper processes (services.exe, explorer.exe) inherit stdout/stderr and
#   outlive the program, which would keep CTest waiting on the pipes; the output
#   therefore goes to a temporary file that is printed afterwards.
# - A persistent wineserver keeps later launches cheap.
set -u
prefix="$1"; shift
export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# Default to a non-Japanese ANSI code page; GUI checks set MORVANE_WINE_LC_ALL=ja_JP.UTF-8.
export LC_ALL="${MORVANE_WINE_LC_ALL:-C.UTF-8}"

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.morvane-ready-2" ]; then
    rm -rf "$prefix"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    # Keep the prefix to itself: Wine links Documents, Desktop and the like to the
    # Unix home folder; replace those links with plain folders inside the prefix.
    for link in "$prefix"/drive_c/users/*/*; do
      if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
    done
    # Windows get the X11 driver when a display exists and the null driver otherwise;
    # Japanese UI faces map to Noto Sans CJK JP so Japanese text renders.
    regfile="$(mktemp --suffix=.reg)"
    iconv -f UTF-8 -t UTF-16LE "$here/wine-prefix.reg" | { printf '\xff\xfe'; cat; } >"$regfile"
    wine regedit /S "$(winepath -w "$regfile")" </dev/null >/dev/null 2>&1
    wineserver -w
    rm -f "$regfile"
    touch "$prefix/.morvane-ready-2"
  fi
) 9>"$prefix.lock"

wineserver -p 120 </dev/null >/dev/null 2>&1

out="$(mktemp)"
wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
