#!/usr/bin/env bash
# Pass-writer throughput under Wine against the same filesystem's plain sequential write.
#
# Fixed pass: WritePass over a 2 GiB image, against `dd if=/dev/zero bs=4M conv=fsync` into
# the same kind of file in the same folder (Wine turns the final flush into fsync, so this
# is the matched baseline). Random pass: WritePass (AES-256-CTR or ChaCha20 keystream generated one chunk
# ahead on its own thread) on an image of RANDOM_MIB. Generators: the bare system random
# generator, and the bare keystream on one thread. Each pass figure is the best of ROUNDS;
# the ratios are also given as the median of each round's neighbouring runs.
# A fixed pass of 0xFF runs next to the random one as well: a virtual disk may store zero
# blocks faster than any other data, which no generator can match.
# Full-surface verification: VerifyDisk at the full level over an image of VERIFY_MIB just
# written by a random pass (every byte compared with the regenerated keystream), against
# `dd if=IMAGE of=/dev/null bs=4M` reading the same file in the same state, round by round
# in alternating order; the quick level's time on the same image is printed too. Wine
# opens the unbuffered handle with O_DIRECT, so the verifier reads the device, not the
# page cache (as verification must: a cached copy proves nothing about the disk); the
# image's cached pages are dropped before each dd read so that dd starts from the device
# too. `dd iflag=direct` (no read-ahead, one 4 MiB request at a time) is printed as well.
# Targets: fixed >= 0.95 x dd, random >= 0.95 x fixed, keystream >= 1 GB/s,
# full verify >= 0.90 x dd read, quick verify of 2 GiB < 1 s.
#
# Usage: bench/run_engine_bench.sh [FIXED_MIB=2048] [RANDOM_MIB=2048] [ROUNDS=7] [VERIFY_MIB=RANDOM_MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
fixed_mib="${1:-2048}"
random_mib="${2:-2048}"
rounds="${3:-7}"
verify_mib="${4:-$random_mib}"

build="$root/build/win64"
[ -f "$build/src/libmorvane_core.a" ] || { cmake --preset win64 >/dev/null && cmake --build --preset win64 >/dev/null; }
work="$build/bench"
mkdir -p "$work"
exe="$work/engine_bench.exe"
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -municode -static -DUNICODE -D_UNICODE \
  -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 \
  -I"$root/src" "$root/bench/engine_bench.cpp" "$build/src/libmorvane_core.a" -lbcrypt -o "$exe"

run_wine() { "$root/cmake/wine-run.sh" "$build/wineprefix" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }
image="$work/bench.img"
cleanup() { rm -f "$image"; }
trap cleanup EXIT

best() { sort -g | tail -1; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Every run overwrites one image that was written in full once, like a disk whose blocks
# all exist. Deleting and re-creating the file between runs made the filesystem (mounted
# with online discard here) trim 2 GiB behind the next run's back, which halved every
# other run.
prepare_image() {  # MiB
  local mib="$1"
  if [ "$(stat -c %s "$image" 2>/dev/null || echo 0)" -lt $((mib * 1048576)) ]; then
    dd if=/dev/zero of="$image" bs=4M count=$((mib / 4)) conv=fsync status=none
  fi
  sync
}

pass_speed() {  # kind MiB
  local kind="$1" mib="$2" out
  prepare_image "$mib"
  out="$(run_wine "$exe" pass "$kind" "$(winpath "$image")" $((mib * 1048576)) 2>/dev/null | tr -d '\r')"
  echo "$out" | awk '/^MiB\/s/ {print $2}'
}

dd_speed() {  # MiB
  local mib="$1" start end
  prepare_image "$mib"
  start=$(date +%s.%N)
  dd if=/dev/zero of="$image" bs=4M count=$((mib / 4)) conv=fsync,notrunc status=none
  end=$(date +%s.%N)
  echo "$mib $start $end" | awk '{printf "%.1f\n", $1 / ($3 - $2)}'
}

verify_speed() {  # full|quick MiB -> MiB/s, or seconds for quick
  local level="$1" mib="$2" out
  out="$(run_wine "$exe" verify "$level" "$(winpath "$image")" $((mib * 1048576)) 2>/dev/null | tr -d '\r')"
  if [ "$level" = quick ]; then echo "$out" | awk '/^seconds/ {print $2}'; else echo "$out" | awk '/^MiB\/s/ {print $2}'; fi
}

dd_read_speed() {  # MiB [dd flag]
  local mib="$1" start end
  # Both readers start from the device: drop the image's pages from the page cache (GNU dd
  # with count=0 and iflag=nocache advises the kernel to discard the whole file's cache;
  # no root needed), so that plain dd does not read back what the previous run left there.
  # Dirty pages cannot be dropped: write them back first.
  sync "$image"
  dd if="$image" iflag=nocache count=0 status=none
  start=$(date +%s.%N)
  dd if="$image" of=/dev/null bs=4M count=$((mib / 4)) ${2:-} status=none
  end=$(date +%s.%N)
  echo "$mib $start $end" | awk '{printf "%.1f\n", $1 / ($3 - $2)}'
}

# One discarded pass first: the first write after the build meets a cold page cache and
# an image folder still being written back, and would always count against the fixed pass.
pass_speed fixed "$fixed_mib" >/dev/null
fixed=(); baseline=(); random=(); ones=(); random_ratio=(); fixed_ratio=(); ones_ratio=()
for round in $(seq "$rounds"); do
  # Alternate the order, so that none of the three always meets a busier disk, and keep
  # each comparison's two runs next to each other: the shared disk's speed drifts over
  # seconds, so ratios of neighbouring runs are steadier than ratios of far-apart ones.
  if [ $((round % 2)) -eq 1 ]; then
    d="$(dd_speed "$fixed_mib")"; f="$(pass_speed fixed "$fixed_mib")"
    o="$(pass_speed ones "$random_mib")"; r="$(pass_speed random "$random_mib")"
  else
    r="$(pass_speed random "$random_mib")"; o="$(pass_speed ones "$random_mib")"
    f="$(pass_speed fixed "$fixed_mib")"; d="$(dd_speed "$fixed_mib")"
  fi
  fixed+=("$f"); baseline+=("$d"); random+=("$r"); ones+=("$o")
  ones_ratio+=("$(awk -v r="$r" -v o="$o" 'BEGIN {printf "%.3f", r / o}')")
  random_ratio+=("$(awk -v r="$r" -v f="$f" 'BEGIN {printf "%.3f", r / f}')")
  fixed_ratio+=("$(awk -v f="$f" -v d="$d" 'BEGIN {printf "%.3f", f / d}')")
done
# Verification reads back one random pass written once; both readers meet the same cache.
prepare_image "$verify_mib"
run_wine "$exe" fill "$(winpath "$image")" $((verify_mib * 1048576)) >/dev/null 2>&1
verify_speed full "$verify_mib" >/dev/null  # discarded, like the first pass above
full=(); ddread=(); dddirect=(); full_ratio=(); direct_ratio=()
for round in $(seq "$rounds"); do
  if [ $((round % 2)) -eq 1 ]; then
    d="$(dd_read_speed "$verify_mib")"; v="$(verify_speed full "$verify_mib")"; x="$(dd_read_speed "$verify_mib" iflag=direct)"
  else
    x="$(dd_read_speed "$verify_mib" iflag=direct)"; v="$(verify_speed full "$verify_mib")"; d="$(dd_read_speed "$verify_mib")"
  fi
  full+=("$v"); ddread+=("$d"); dddirect+=("$x")
  full_ratio+=("$(awk -v v="$v" -v d="$d" 'BEGIN {printf "%.3f", v / d}')")
  direct_ratio+=("$(awk -v v="$v" -v x="$x" 'BEGIN {printf "%.3f", v / x}')")
done
quick="$(verify_speed quick "$verify_mib")"

gen="$(run_wine "$exe" gen 256 | tr -d '\r' | awk '/^MiB\/s/ {print $2}')"
ks="$(run_wine "$exe" keystream 4096 chacha | tr -d '\r' | awk '/^MiB\/s/ {print $2}')"
ksa="$(run_wine "$exe" keystream 4096 aes | tr -d '\r' | awk '/^MiB\/s/ {print $2}')"

f=$(printf '%s\n' "${fixed[@]}" | best)
b=$(printf '%s\n' "${baseline[@]}" | best)
fm=$(printf '%s\n' "${fixed[@]}" | median)
bm=$(printf '%s\n' "${baseline[@]}" | median)
rm_=$(printf '%s\n' "${random[@]}" | median)
rr=$(printf '%s\n' "${random_ratio[@]}" | median)
fr=$(printf '%s\n' "${fixed_ratio[@]}" | median)
orr=$(printf '%s\n' "${ones_ratio[@]}" | median)
r=$(printf '%s\n' "${random[@]}" | best)
echo "fixed pass    (${fixed_mib} MiB): $f MiB/s   runs: ${fixed[*]}"
echo "dd baseline   (${fixed_mib} MiB): $b MiB/s   runs: ${baseline[*]}"
echo "random pass   (${random_mib} MiB): $r MiB/s   runs: ${random[*]}"
echo "0xFF pass     (${random_mib} MiB): $(printf '%s\n' "${ones[@]}" | best) MiB/s   runs: ${ones[*]}"
echo "system generator (BCryptGenRandom, 256 MiB): $gen MiB/s"
echo "keystream (ChaCha20, one thread, 4 GiB):    $ks MiB/s = $(awk -v k="$ks" 'BEGIN {printf "%.2f", k * 1048576 / 1e9}') GB/s (target >= 1 GB/s)"
echo "keystream (AES-256-CTR, one thread, 4 GiB): ${ksa:-n/a} MiB/s (used for random passes where the processor has AES instructions)"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores (the machine is shared; figures are noisy)"
echo "random / fixed, round by round: ${random_ratio[*]}"
echo "random / 0xFF, round by round:  ${ones_ratio[*]}"
echo "fixed / dd, round by round:     ${fixed_ratio[*]}"
awk -v f="$f" -v b="$b" -v fm="$fm" -v bm="$bm" -v r="$r" -v rm="$rm_" -v rr="$rr" -v fr="$fr" 'BEGIN {
  printf "fixed / dd baseline  = %.3f best, %.3f median, %.3f median of rounds (target >= 0.95)\n", f / b, fm / bm, fr
  printf "random / fixed       = %.3f best, %.3f median, %.3f median of rounds (target >= 0.95)\n", r / f, rm / fm, rr
}'
echo "random / 0xFF pass   = $orr median of rounds (a fixed pass of non-zero bytes, for a disk that stores zeros faster)"
echo "full verify   (${verify_mib} MiB): $(printf '%s\n' "${full[@]}" | best) MiB/s   runs: ${full[*]}"
echo "dd read       (${verify_mib} MiB): $(printf '%s\n' "${ddread[@]}" | best) MiB/s   runs: ${ddread[*]}"
echo "dd direct read(${verify_mib} MiB): $(printf '%s\n' "${dddirect[@]}" | best) MiB/s   runs: ${dddirect[*]}"
echo "quick verify  (${verify_mib} MiB): ${quick} s (target < 1 s)"
echo "full verify / dd read, round by round:        ${full_ratio[*]}"
echo "full verify / dd direct read, round by round: ${direct_ratio[*]}"
ratio_line() {  # label verify-runs baseline-runs round-ratios note
  awk -v v="$(printf '%s\n' $2 | best)" -v d="$(printf '%s\n' $3 | best)" \
      -v vm="$(printf '%s\n' $2 | median)" -v dm="$(printf '%s\n' $3 | median)" \
      -v fr="$(printf '%s\n' $4 | median)" -v label="$1" -v note="$5" 'BEGIN {
    printf "%s = %.3f best, %.3f median, %.3f median of rounds (%s)\n", label, v / d, vm / dm, fr, note
  }'
}
ratio_line "full verify / dd read" "${full[*]}" "${ddread[*]}" "${full_ratio[*]}" \
  "target >= 0.90; both start from the device"
ratio_line "full verify / dd direct read" "${full[*]}" "${dddirect[*]}" "${direct_ratio[*]}" \
  "dd without read-ahead"
