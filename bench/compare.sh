#!/usr/bin/env bash
# What one piece of machinery buys: the layout 1 run of a revision against
# the same revision changed by each variant, in the same interleaved rounds
# (A B B A ..., so that no variant always runs first after the other), on
# the 200 x 1000-node table in the solver's record layout that bench/run.sh
# uses.  A variant is a patch file (applied to the revision's sources) or
# another revision (its difference in SRC/ and CMakeLists.txt applied).
# Every process is timed whole by bench/floor/runstat; prints the medians
# of wall clock and CPU time, the peak memory, each variant's wall clock as
# a share of the revision's, and the load of the machine before and after.
#
# Usage: bench/compare.sh [-n rounds (default 15)] revision variant...
#   bench/compare.sh HEAD bench/without/text_parts.patch
#   bench/compare.sh 1a2b3c4 1a2b3c4~1      # a removal, against before it
# (bench/without/parse_ahead.patch and replaced_pages.patch switch off
# mechanisms since removed: they apply to c9a1c85, the revision they were
# measured on.)
#
# The sources are built once, in build-bench/compare/src, and each variant
# by an incremental build there (patch applied, built, taken back).
set -euo pipefail

rounds=15
if [ "${1:-}" = "-n" ]; then
  rounds=$2
  shift 2
fi
if [ $# -lt 2 ]; then
  echo "usage: bench/compare.sh [-n rounds] revision variant..." >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
base_rev=$1
shift
work=$root/build-bench/compare
src=$work/src
rm -rf "$work"
mkdir -p "$src" "$work/bin"
git -C "$root" archive "$base_rev" | tar -x -C "$src"

build() {  # name: builds the sources as they stand into bin/name
  cmake -S "$src" -B "$src/build" -DCMAKE_BUILD_TYPE=Release -DZEREDUV_TESTS=OFF >/dev/null
  cmake --build "$src/build" -j2 --target zereduv pillbox_table >/dev/null
  cp "$src/build/zereduv" "$work/bin/$1"
}

names=(base)
build base
cp "$src/build/pillbox_table" "$work/bin/pillbox_table"
k=0
for v in "$@"; do
  k=$((k + 1))
  patch_file=$work/variant$k.patch
  if [ -f "$v" ]; then
    cp "$v" "$patch_file"
  else
    git -C "$root" diff "$base_rev" "$v" -- SRC CMakeLists.txt >"$patch_file"
  fi
  patch -s -p1 -d "$src" <"$patch_file"
  build "variant$k"
  patch -s -R -p1 -d "$src" <"$patch_file"
  if cmp -s "$work/bin/base" "$work/bin/variant$k"; then
    echo "bench/compare.sh: $v builds the same program as $base_rev" >&2
    exit 1
  fi
  names+=("variant$k")
done

g++ -std=c++20 -O2 -o "$work/runstat" "$root/bench/floor/runstat.cpp"
run=$work/run
mkdir -p "$run"
"$work/bin/pillbox_table" --frequency 1.3e9 --length 11.5 --nz 999 --nr 199 --e0 5 --lf \
  --out "$run/pillbox.txt"
printf 'bench/compare.sh\r\nlayout 1\r\npillbox.txt\r\n0\r\n1\r\n1\r\n0 0 0\r\n1.3E9\r\n12.0\r\n2.0\r\n0\r\n1.0\r\n' \
  >"$run/zereduv.dat"
cd "$run"

stat_of() { "$work/runstat" "$@" 2>&1 >/dev/null | tail -n 1; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.1f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A results
for n in "${names[@]}"; do
  "$work/bin/$n" >/dev/null  # warm-up; leaves the field file the rounds replace
  results[$n]=""
done
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for r in $(seq "$rounds"); do
  order=("${names[@]}")
  if [ $((r % 2)) -eq 0 ]; then
    mapfile -t order < <(printf '%s\n' "${names[@]}" | tac)
  fi
  for n in "${order[@]}"; do
    results[$n]+="$(stat_of "$work/bin/$n")"$'\n'
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

base_wall=$(printf '%s' "${results[base]}" | awk 'NF { print $1 }' | median)
printf '%-10s %8s %7s %8s %8s  %s\n' variant wall_ms cpu_ms peak_MB x_base what
k=0
for n in "${names[@]}"; do
  wall=$(printf '%s' "${results[$n]}" | awk 'NF { print $1 }' | median)
  cpu=$(printf '%s' "${results[$n]}" | awk 'NF { print $2 }' | median)
  peak=$(printf '%s' "${results[$n]}" | awk 'NF { print $3 }' | sort -g | tail -n 1)
  what=$base_rev
  [ "$n" = base ] || { k=$((k + 1)); what=${!k}; }
  printf '%-10s %8s %7s %8.1f %8s  %s\n' "$n" "$wall" "$cpu" \
    "$(awk -v p="$peak" 'BEGIN { print p * 1024 / 1e6 }')" \
    "$(awk -v a="$wall" -v b="$base_wall" 'BEGIN { printf "%.3f", a / b }')" "$what"
done
