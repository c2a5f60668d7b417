#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for SECONDS seconds on its seed corpus.
#   fuzz/run.sh [SECONDS]      (default 60)
# Exits non-zero on any finding; crash inputs are left in build-fuzz/.
set -euo pipefail
secs="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-fuzz"
mkdir -p "$out"
cxx="${CLANGXX:-clang++}"

# clang with its libFuzzer and sanitizer runtimes (Debian: clang and
# libclang-rt-14-dev); say what is missing before building anything.
if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "fuzz/run.sh: missing: $cxx (Debian package clang)" >&2
  exit 1
fi
rt="libclang_rt.fuzzer-$(uname -m).a"
if [ "$("$cxx" -print-file-name="$rt")" = "$rt" ]; then
  echo "fuzz/run.sh: missing: clang's libFuzzer runtime $rt" \
       "(Debian package libclang-rt-14-dev, or the one of your clang)" >&2
  exit 1
fi
# fuzz_inspect takes in the JSON report too (Debian: nlohmann-json3-dev).
if ! echo '#include <nlohmann/json.hpp>' | "$cxx" -std=c++20 -fsyntax-only -x c++ - 2>/dev/null; then
  echo "fuzz/run.sh: missing: nlohmann/json.hpp (Debian package nlohmann-json3-dev)" >&2
  exit 1
fi
flags=(-std=c++20 -O1 -g -ffp-contract=off -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=all -I"$root/SRC" -DZEREDUV_HAVE_JSON=1)
mapfile -t lib < <(find "$root/SRC" -name '*.cpp' ! -path '*/run/main.cpp' \
                   ! -name '*-win32.cpp' | sort)

targets=(fuzz_free_format fuzz_format fuzz_control fuzz_field_table fuzz_inspect)
for t in "${targets[@]}"; do
  echo "== building $t"
  "$cxx" "${flags[@]}" "$root/fuzz/$t.cpp" "${lib[@]}" -o "$out/$t"
done

status=0
for t in "${targets[@]}"; do
  corpus="$out/corpus-$t"
  mkdir -p "$corpus"
  seeds="$root/fuzz/seeds/$t"
  echo "== running $t for ${secs}s"
  if ! (cd "$out" && "./$t" -max_total_time="$secs" -rss_limit_mb=4096 \
        -timeout=20 -print_final_stats=1 "$corpus" ${seeds:+"$seeds"} \
        > "$out/$t.log" 2>&1); then
    echo "!! $t found a problem; see $out/$t.log"
    tail -40 "$out/$t.log"
    status=1
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$out/$t.log" | tail -2 || true
done
exit $status
