#!/usr/bin/env bash
# The Windows builds, cross-compiled with MinGW-w64 and tested under Wine:
#   tools/windows-ci.sh [LINUX_BUILD_DIR]
# builds build-win64 (zereduv.exe, zereduv-inspect.exe, the unit tests) and
# build-win32 (the two programs), then under Wine runs the unit-test .exe,
# every golden case (with the golden runner of the Linux build, by default
# build/) and the exit-status checks, and packs both ZIP folders.  Prints
# how long each part took.  32-bit programs cannot run where the kernel
# runs no 32-bit code, so the 32-bit build is compiled only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
linux_build=${1:-build}
jobs=${JOBS:-2}

wine=${WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=${WINEPREFIX:-$root/build-win64/wine}
export WINEDEBUG=-all
# No Mono or Gecko: their install prompts would hang a console-less run.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

declare -a part_names=() part_secs=()
step_start=0
begin() { echo "== windows: $1"; part_names+=("$1"); step_start=$(date +%s.%N); }
end() { part_secs+=("$(awk -v a="$step_start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }')"); }
report() {
  echo "== windows: time per part (s)"
  for i in "${!part_secs[@]}"; do printf '  %-40s %5s\n' "${part_names[$i]}" "${part_secs[$i]}"; done
}
trap report EXIT

begin "cross build, 64-bit (with unit tests)"
cmake -S . -B build-win64 --toolchain cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build-win64 -j"$jobs"
end

begin "cross build, 32-bit (programs)"
cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake \
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DZEREDUV_TESTS=OFF >/dev/null
cmake --build build-win32 -j"$jobs"
end

begin "Wine prefix"
mkdir -p "$WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1 || true
# Keep the Wine server running between the many short runs below.
# (It says so, and fails, when one already runs for this prefix.)
"$(dirname "$wine")/wineserver" -p 2>/dev/null || true
end

begin "unit tests under Wine"
ctest --test-dir build-win64 --output-on-failure -R '^zereduv_tests$'
end

begin "golden cases under Wine"
cmake --build "$linux_build" --target golden_run -j"$jobs" >/dev/null
golden_run=$(find "$linux_build" -name golden_run -type f -perm -u+x | head -n 1)
work="$root/build-win64/golden"
mkdir -p "$work"
failed=0
count=0
for case_dir in tests/golden/*/; do
  case_name=$(basename "$case_dir")
  [ "$case_name" = tables ] && continue
  count=$((count + 1))
  status=0
  "$golden_run" --case "$root/$case_dir" --work "$work/$case_name" \
      --program "$root/build-win64/zereduv.exe" --launcher "$wine" \
      --console-eol-agnostic --source-dir "$root" \
      --tables-dir "${ZEREDUV_REAL_TABLES_DIR:-$root/../shared/data/superfish}" \
      >"$work-$case_name.out" 2>&1 || status=$?
  case $status in
    0) ;;
    77) echo "skipped: $case_name" ;;
    *) echo "FAILED: $case_name"; cat "$work-$case_name.out"; failed=$((failed + 1)) ;;
  esac
done
echo "$count golden cases, $failed failed"
end
[ "$failed" -eq 0 ]

begin "exit statuses under Wine"
# A wrong argument, and Ctrl-C (Wine hands SIGINT to the console control
# handler) during a run on a large table: status 130, the log ends with
# the note, no temporary is left and the older field file is kept.
exe="$root/build-win64/zereduv.exe"
status=0
"$wine" "$exe" --no-such-option >/dev/null 2>&1 || status=$?
[ "$status" -eq 1 ] || { echo "FAILED: a wrong argument gave status $status, not 1"; exit 1; }
cmake --build "$linux_build" --target pillbox_table -j"$jobs" >/dev/null
run="$root/build-win64/interrupt-run"
rm -rf "$run" && mkdir -p "$run"
"$linux_build/pillbox_table" --frequency 1.3e9 --length 11.5 --nz 999 --nr 199 --e0 5 \
  --out "$run/pillbox.txt"
sed -e 's/^0            FieldFormat/1            FieldFormat/' \
  examples/pillbox/zereduv.dat >"$run/zereduv.dat"
printf 'older field file\r\n' >"$run.older"
interrupted=no
for attempt in 1 2 3; do
  cp "$run.older" "$run/eh_ZIV.#01"
  rm -f "$run/zereduv.log"
  (cd "$run" && exec "$wine" "$exe" >/dev/null 2>&1) &
  pid=$!
  for _ in $(seq 1 500); do
    [ -s "$run/zereduv.log" ] && break
    sleep 0.01
  done
  kill -INT "$pid" 2>/dev/null || true
  status=0
  wait "$pid" || status=$?
  if [ "$status" -eq 130 ]; then
    interrupted=yes
    break
  fi
  echo "attempt $attempt: the run ended with status $status before the interruption"
done
[ "$interrupted" = yes ] || { echo "FAILED: no run ended with status 130"; exit 1; }
tail -c 200 "$run/zereduv.log" | grep -q "Run interrupted" ||
  { echo "FAILED: the log does not end with the interruption note"; exit 1; }
cmp -s "$run.older" "$run/eh_ZIV.#01" ||
  { echo "FAILED: the older field file was not kept"; exit 1; }
if ls -A "$run" | grep -q '\.part'; then echo "FAILED: a temporary was left"; exit 1; fi
echo "wrong argument: status 1; Ctrl-C: status 130, log noted, older file kept"
end

begin "packages (ZIP)"
for b in build-win64 build-win32; do
  (cd "$b" && cpack -G ZIP >/dev/null && ls -l zereduv-*-win*.zip)
done
end
