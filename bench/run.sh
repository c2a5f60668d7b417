#!/usr/bin/env bash
# Whole-run timing: generates a 200 x 1000-node table of the TM010 pillbox
# mode (17 MB) with tools/pillbox_table, runs zereduv on it in layouts 0, 1
# and 2 (one warm-up run, then the median of N timed runs), records the peak
# resident memory with /usr/bin/time -v, and times in the same place the
# I/O floor of each run: reading the table whole and writing a file of the
# field file's size with one write().  Prints each layout's median, its
# ratio to the floor, and the targets.
#
# Usage: bench/run.sh [runs (default 7)] [build directory (default build-bench)]
set -euo pipefail

# The tools this needs, each with the Debian package that has it.
missing=""
for tool in cmake:cmake g++:g++ awk:mawk /usr/bin/time:time; do
  command -v "${tool%%:*}" >/dev/null 2>&1 ||
    missing+="${missing:+, }${tool%%:*} (Debian package ${tool#*:})"
done
if [ -n "$missing" ]; then
  echo "bench/run.sh: missing: $missing" >&2
  exit 1
fi

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
build=${2:-$root/build-bench}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEREDUV_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target zereduv pillbox_table >/dev/null
g++ -std=c++20 -O2 -o "$build/io_floor" "$root/bench/floor/io_floor.cpp"

work="$build/bench-run"
rm -rf "$work"
mkdir -p "$work"
"$build/pillbox_table" --frequency 1.3e9 --length 11.5 --nz 999 --nr 199 --e0 5 \
  --out "$work/pillbox.txt"
table_bytes=$(stat -c %s "$work/pillbox.txt")

# Milliseconds of one command, from bash's own microsecond clock.
ms_of() {
  local t0=$EPOCHREALTIME
  "$@" >/dev/null
  local t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f\n", (b - a) * 1000 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf 'table: %d x %d nodes, %d bytes; %d timed runs per layout after a warm-up\n' \
  200 1000 "$table_bytes" "$runs"
printf '%-7s %9s %9s %9s %10s %10s %9s %9s %7s\n' layout median_ms min_ms peak_MB \
  out_bytes floor_ms fsync_ms ratio target
for layout in 0 1 2; do
  dir="$work/layout$layout"
  mkdir -p "$dir"
  printf 'bench/run.sh\r\nlayout %d\r\n../pillbox.txt\r\n0\r\n1\r\n%d\r\n0 0 0\r\n1.3E9\r\n12.0\r\n2.0\r\n0\r\n1.0\r\n' \
    "$layout" "$layout" >"$dir/zereduv.dat"
  cd "$dir"
  "$build/zereduv" >/dev/null  # warm-up
  times=()
  for _ in $(seq "$runs"); do times+=("$(ms_of "$build/zereduv")"); done
  med=$(printf '%s\n' "${times[@]}" | median)
  min=$(printf '%s\n' "${times[@]}" | sort -g | head -n 1)
  peak_kb=$(/usr/bin/time -v "$build/zereduv" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
  out_bytes=$(stat -c %s "$dir/eh_ZIV.#01")
  floors=()
  fsyncs=()
  for _ in $(seq "$runs"); do
    read -r rd wr fs < <("$build/io_floor" "$work/pillbox.txt" "$dir/floor.out" "$out_bytes")
    floors+=("$(awk -v a="$rd" -v b="$wr" 'BEGIN { printf "%.3f", a + b }')")
    fsyncs+=("$fs")
  done
  rm -f "$dir/floor.out"
  floor=$(printf '%s\n' "${floors[@]}" | median)
  fsync=$(printf '%s\n' "${fsyncs[@]}" | median)
  ratio=$(awk -v a="$med" -v b="$floor" 'BEGIN { printf "%.1f", a / b }')
  case $layout in
    0) target="<=35ms" ;;
    1) target="<=60ms,4x" ;;
    *) target="-" ;;
  esac
  printf '%-7s %9s %9s %9.1f %10d %10s %9s %9s %7s\n' "$layout" "$med" "$min" \
    "$(awk -v k="$peak_kb" 'BEGIN { print k / 1024 }')" "$out_bytes" "$floor" "$fsync" \
    "$ratio" "$target"
  cd "$root"
done
echo "peak memory target: <= 64 MB; the field file is flushed to disk before it is renamed (fsync_ms: that flush on the floor's file)"
