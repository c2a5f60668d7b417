#!/usr/bin/env bash
# Whole-run measurements against two floors, on a 200 x 1000-node table of
# the TM010 pillbox mode (17 MB, written by tools/pillbox_table in the field
# solver's record layout: Z and R in G14.6, the fields in E14.6, 84
# characters a record, LF line ends), and on the real SNS 301 x 101 table
# when ../shared/data/superfish is there (layout 1 only):
#
#   cpu floor   map the table, read every byte of it once, write the field
#               file's bytes once (bench/floor/floor.cpp cpu)
#   safe floor  the same, written as the program writes its field file:
#               a temporary, fsync, rename over the previous file (floor safe)
#
# Beside them, the cpu floor with fsync into a new file (floor flush): the
# safe floor's excess over it (column "replace") is what replacing the
# previous file costs on this file system, which the cpu floor never pays.
#
# Each round runs the program and the three floors back to back, so that
# all of them see the same moment of a shared machine; every process is
# timed whole, start-up included, by bench/floor/runstat (wall clock, CPU
# time, peak resident memory).  Prints the medians, the ratio of the
# program to each floor, the cost of replacing the previous file,
# zereduv-inspect's CPU time on the same table, the instruction
# count of a layout 1 run (callgrind) beside the least-work estimate, the
# load of the machine, and the targets.
#
# Usage: bench/run.sh [--big] [rounds (default 7)] [build directory (default build-bench)]
#   --big   also time the run on a half map of 200 x 125,000 nodes (2.2 GB of
#           table, completed to 50 million nodes by the mirror); needs 2.2 GB
#           of disk in the build directory
set -euo pipefail

# The tools this needs, each with the Debian package that has it.
missing=""
for tool in cmake:cmake g++:g++ awk:mawk; do
  command -v "${tool%%:*}" >/dev/null 2>&1 ||
    missing+="${missing:+, }${tool%%:*} (Debian package ${tool#*:})"
done
if [ -n "$missing" ]; then
  echo "bench/run.sh: missing: $missing" >&2
  exit 1
fi
have_valgrind=1
command -v valgrind >/dev/null 2>&1 || have_valgrind=0

big=0
if [ "${1:-}" = "--big" ]; then
  big=1
  shift
fi
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
build=${2:-$root/build-bench}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEREDUV_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target zereduv pillbox_table >/dev/null
inspect=""
if cmake --build "$build" -j2 --target zereduv-inspect >/dev/null 2>&1; then
  inspect="$build/inspect/zereduv-inspect"
fi
g++ -std=c++20 -O2 -o "$build/floor" "$root/bench/floor/floor.cpp"
g++ -std=c++20 -O2 -o "$build/runstat" "$root/bench/floor/runstat.cpp"

work="$build/bench-run"
rm -rf "$work"
mkdir -p "$work"
"$build/pillbox_table" --frequency 1.3e9 --length 11.5 --nz 999 --nr 199 --e0 5 --lf \
  --out "$work/pillbox.txt"
table="$work/pillbox.txt"
table_bytes=$(stat -c %s "$table")

# "wall_ms cpu_ms peak_kib" of one command, its output thrown away.
stat_of() { "$build/runstat" "$@" 2>&1 >/dev/null | tail -n 1; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.1f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
col() { awk -v c="$1" '{ print $c }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

control() {  # layout, table, isym_z [, frequency, element length, aperture]
  printf 'bench/run.sh\r\nlayout %d\r\n%s\r\n%d\r\n1\r\n%d\r\n0 0 0\r\n%s\r\n%s\r\n%s\r\n0\r\n1.0\r\n' \
    "$1" "$2" "$3" "$1" "${4:-1.3E9}" "${5:-12.0}" "${6:-2.0}"
}
sns=$root/../shared/data/superfish/sns-mebt-rebuncher-402mhz-301x101-large.txt

echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'table: 200 x 1000 nodes in the solver'"'"'s record layout, %d bytes; %d rounds of program, cpu floor, safe floor, flush floor\n' \
  "$table_bytes" "$runs"
printf '%-6s %8s %7s %8s %10s %9s %9s %8s %8s %8s\n' layout wall_ms cpu_ms peak_MB out_bytes \
  cpu_floor safe_floor x_cpu x_safe replace
declare -A cpu_of
rows=(0 1 2)
[ -f "$sns" ] && rows+=(sns)
for layout in "${rows[@]}"; do
  dir="$work/layout$layout"
  mkdir -p "$dir"
  if [ "$layout" = sns ]; then
    # A copy beside the control file: table names hold at most 80 characters.
    cp "$sns" "$dir/sns.txt"
    table="$dir/sns.txt"
    control 1 sns.txt 2 402.5E6 10.0 1.0 >"$dir/zereduv.dat"
  else
    table="$work/pillbox.txt"
    control "$layout" ../pillbox.txt 0 >"$dir/zereduv.dat"
  fi
  cd "$dir"
  "$build/zereduv" >/dev/null  # warm-up; leaves the field file the next runs replace
  out_bytes=$(stat -c %s "$dir/eh_ZIV.#01")
  "$build/floor" safe "$table" "$dir/safe.out" "$out_bytes"
  prog=() cpuf=() safef=() flushf=()
  for _ in $(seq "$runs"); do
    prog+=("$(stat_of "$build/zereduv")")
    rm -f "$dir/cpu.out"
    cpuf+=("$(stat_of "$build/floor" cpu "$table" "$dir/cpu.out" "$out_bytes")")
    safef+=("$(stat_of "$build/floor" safe "$table" "$dir/safe.out" "$out_bytes")")
    rm -f "$dir/flush.out"
    flushf+=("$(stat_of "$build/floor" flush "$table" "$dir/flush.out" "$out_bytes")")
  done
  wall=$(printf '%s\n' "${prog[@]}" | col 1 | median)
  cpu=$(printf '%s\n' "${prog[@]}" | col 2 | median)
  peak=$(printf '%s\n' "${prog[@]}" | col 3 | sort -g | tail -n 1)
  fc=$(printf '%s\n' "${cpuf[@]}" | col 1 | median)
  fs=$(printf '%s\n' "${safef[@]}" | col 1 | median)
  ff=$(printf '%s\n' "${flushf[@]}" | col 1 | median)
  cpu_of[$layout]=$cpu
  printf '%-6s %8s %7s %8.1f %10d %9s %9s %8s %8s %8s\n' "$layout" "$wall" "$cpu" \
    "$(awk -v k="$peak" 'BEGIN { print k * 1024 / 1e6 }')" "$out_bytes" "$fc" "$fs" \
    "$(ratio "$wall" "$fc")" "$(ratio "$wall" "$fs")" \
    "$(awk -v a="$fs" -v b="$ff" 'BEGIN { printf "%.1f", a - b }')"
  rm -f "$dir/cpu.out" "$dir/safe.out" "$dir/flush.out"
  cd "$root"
done

table="$work/pillbox.txt"
if [ -n "$inspect" ]; then
  "$inspect" table "$table" --frequency 1.3e9 >/dev/null  # warm-up
  ins=()
  for _ in $(seq "$runs"); do ins+=("$(stat_of "$inspect" table "$table" --frequency 1.3e9)"); done
  icpu=$(printf '%s\n' "${ins[@]}" | col 2 | median)
  iwall=$(printf '%s\n' "${ins[@]}" | col 1 | median)
  printf 'zereduv-inspect table --frequency: %s ms wall, %s ms CPU = %s x the CPU of layout 1\n' \
    "$iwall" "$icpu" "$(ratio "$icpu" "${cpu_of[1]}")"
fi

if [ "$have_valgrind" = 1 ]; then
  # Least work: every table value read by the fixed-layout node parser and
  # every output value formatted (both at their measured instructions per
  # value), plus the resampling and the Maxwell check as the program does
  # them (their instructions in this very profile).
  cd "$work/layout1"
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$build/zereduv" \
    >/dev/null 2>&1
  cd "$root"
  total=$(callgrind_annotate "$work/callgrind.out" | awk '/PROGRAM TOTALS/ { gsub(/,/, "", $1); print $1 }')
  incl() {
    callgrind_annotate --inclusive=yes "$work/callgrind.out" |
      awk -v f="$1" 'index($0, f) { gsub(/,/, "", $1); print $1; exit }'
  }
  resample=$(incl 'zereduv::RESAMPLE(')
  check=$(incl 'zereduv::CHECK_MAXWELL(')
  parse_per_value=87
  format_per_value=117
  least=$(awk -v r="${resample:-0}" -v c="${check:-0}" -v p="$parse_per_value" \
    -v f="$format_per_value" 'BEGIN { printf "%.0f", 200 * 1000 * 6 * p + 6 * 25 * 25 * 201 * f + r + c }')
  printf 'callgrind, layout 1: %.1f M instructions; least work %.1f M (parse %d/value, format %d/value, resampling %.1f M, check %.1f M): %s x\n' \
    "$(awk -v t="$total" 'BEGIN { print t / 1e6 }')" "$(awk -v t="$least" 'BEGIN { print t / 1e6 }')" \
    "$parse_per_value" "$format_per_value" "$(awk -v t="${resample:-0}" 'BEGIN { print t / 1e6 }')" \
    "$(awk -v t="${check:-0}" 'BEGIN { print t / 1e6 }')" "$(ratio "$total" "$least")"
  if [ -f "$sns" ]; then
    cd "$work/layoutsns"
    valgrind --tool=callgrind --callgrind-out-file="$work/callgrind-sns.out" "$build/zereduv" \
      >/dev/null 2>&1
    cd "$root"
    printf 'callgrind, SNS 301 x 101 table, layout 1: %.1f M instructions\n' \
      "$(callgrind_annotate "$work/callgrind-sns.out" |
        awk '/PROGRAM TOTALS/ { gsub(/,/, "", $1); print $1 / 1e6 }')"
  fi
else
  echo "callgrind: valgrind (Debian package valgrind) not found, instruction count left out"
fi

if [ "$big" = 1 ]; then
  mkdir -p "$work/big"
  "$build/pillbox_table" --frequency 1.3e9 --length 11.5 --nz 124999 --nr 199 --e0 5 --half \
    --out "$work/big/half.txt"
  control 1 half.txt 2 >"$work/big/zereduv.dat"
  cd "$work/big"
  printf 'half map, 200 x 125000 nodes (%d bytes), layout 1: wall_ms cpu_ms peak_kib %s\n' \
    "$(stat -c %s half.txt)" "$(stat_of "$build/zereduv")"
  rm -f half.txt
  cd "$root"
fi

echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "targets (layout 1 on the 200 x 1000 table): <= 1.6 x safe floor; <= 260 M instructions;" \
  "inspect table <= 2 x the program's CPU; peak memory <= 40 MB; half map <= 5 s"
