#!/usr/bin/env bash
# The Windows builds, cross-compiled with MinGW-w64 and tested under Wine:
#   tools/windows-ci.sh [LINUX_BUILD_DIR]
# builds build-win64 (zereduv.exe, zereduv-inspect.exe, the unit tests) and
# build-win32 (the two programs), then under Wine runs the unit-test .exe,
# every golden case (with the golden runner of the Linux build, by default
# build/), the exit-status checks, the folder argument and names in other
# scripts, and packs both ZIP folders; then checks the 64-bit ZIP's layout
# and its programs' version resource and manifest, runs its example's
# run.bat from a folder whose name holds a blank and a non-ASCII letter
# against the Linux build's run, and compares zereduv-inspect's JSON with
# the Linux build's.  Prints how long each part took.  32-bit programs cannot run where the kernel
# runs no 32-bit code, so the 32-bit build is compiled only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
linux_build=$(cd "${1:-build}" && pwd)
jobs=${JOBS:-2}

wine=${WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=${WINEPREFIX:-$root/build-win64/wine}
export WINEDEBUG=-all
# No Mono or Gecko: their install prompts would hang a console-less run.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# A Unix path as Wine's programs see it (Z:\...).
wpath() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

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

begin "folder argument and names under Wine"
# zereduv DIR and zereduv DIR\ZEREDUV.DAT (any case) run in DIR as if
# started there; a missing folder is a usage error that touches nothing;
# /? is --help.  The table's name in a UTF-8 control file holds an accented
# letter: the run finds the file and its log holds the name's bytes as read,
# as the Linux build's does.
lin="$root/build-win64/names-linux"
win="$root/build-win64/names-wine"
rm -rf "$lin" "$win" && mkdir -p "$lin" "$win"
for d in "$lin" "$win"; do
  cp examples/pillbox/pillbox.txt "$d/cavité-é.txt"
  sed -e 's/^pillbox\.txt/cavité-é.txt/' examples/pillbox/zereduv.dat >"$d/zereduv.dat"
done
grep -q '^cavité-é.txt' "$lin/zereduv.dat" || { echo "FAILED: no accented name in the control file"; exit 1; }
(cd "$lin" && "$linux_build/zereduv" >/dev/null)
"$wine" "$exe" "$(wpath "$win")" </dev/null >/dev/null
cmp "$lin/zereduv.log" "$win/zereduv.log" && cmp "$lin/eh_ZIV.#01" "$win/eh_ZIV.#01" ||
  { echo "FAILED: the run on an accented table name differs from Linux"; exit 1; }
rm -f "$win/zereduv.log" "$win/eh_ZIV.#01"
(cd "$root/build-win64" && "$wine" "$exe" 'names-wine\ZEREDUV.DAT' >/dev/null)
cmp "$lin/eh_ZIV.#01" "$win/eh_ZIV.#01" || { echo "FAILED: DIR\ZEREDUV.DAT did not run in DIR"; exit 1; }
status=0
(cd "$win" && "$wine" "$exe" no-such-folder </dev/null >/dev/null 2>&1) || status=$?
[ "$status" -eq 1 ] || { echo "FAILED: a missing folder gave status $status, not 1"; exit 1; }
"$wine" "$exe" '/?' </dev/null | grep -q 'usage: zereduv' || { echo "FAILED: /? is not --help"; exit 1; }
echo "folder, FOLDER\ZEREDUV.DAT, accented table name: as on Linux; missing folder: status 1; /? helps"
end

begin "packages (ZIP)"
for b in build-win64 build-win32; do
  (cd "$b" && cpack -G ZIP >/dev/null && ls -l zereduv-*-win*.zip)
done
end

begin "the ZIP for users under Wine"
zip=$(ls "$root"/build-win64/zereduv-*-win64.zip)
top=$(basename "$zip" .zip)
listed=$(unzip -Z1 "$zip" | sed -e "s|^$top/||" | grep -v '/$' | sort | tr '\n' ' ')
want="LICENSE.txt NOTICES.txt README.txt example/pillbox.txt example/run.bat example/zereduv.dat zereduv-inspect.exe zereduv-inspect.txt zereduv.exe zereduv.txt "
[ "$listed" = "$want" ] || { echo "FAILED: the ZIP holds: $listed"; echo "expected: $want"; exit 1; }
users="$root/build-win64/Cavités RF"
rm -rf "$users" && mkdir -p "$users"
unzip -q "$zip" -d "$users"
for t in README.txt LICENSE.txt NOTICES.txt zereduv.txt example/run.bat; do
  [ "$(grep -c $'\r$' "$users/$top/$t")" -eq "$(wc -l <"$users/$top/$t")" ] ||
    { echo "FAILED: $t has lines without CR LF"; exit 1; }
done
if grep -qiE 'cmake|build-win|apt-get|fuzz' "$users/$top/README.txt"; then
  echo "FAILED: README.txt speaks of building"; exit 1
fi
# The version resource (UTF-16 strings) and the manifest, from the files.
for p in zereduv zereduv-inspect; do
  f="$users/$top/$p.exe"
  strings -el "$f" | grep -qx "$(sed -n 's/^project(zereduv VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" &&
    strings -el "$f" | grep -q 'Apache License 2.0' &&
    strings -el "$f" | grep -qx "$p.exe" &&
    grep -q '<longPathAware[^>]*>true</longPathAware>' "$f" &&
    grep -q 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' "$f" ||
    { echo "FAILED: $p.exe lacks its version resource or manifest"; exit 1; }
done
# run.bat from the unpacked folder, against the Linux build's run.
ref="$root/build-win64/example-linux"
rm -rf "$ref" && mkdir -p "$ref"
cp examples/pillbox/zereduv.dat examples/pillbox/pillbox.txt "$ref/"
(cd "$ref" && "$linux_build/zereduv" >/dev/null)
bat=$(wpath "$users/$top/example/run.bat")
(cd "$root/build-win64" && "$wine" cmd /c "$bat" </dev/null >"$users/run.out" 2>&1) ||
  { echo "FAILED: run.bat"; cat "$users/run.out"; exit 1; }
cmp "$ref/zereduv.log" "$users/$top/example/zereduv.log" &&
  cmp "$ref/eh_ZIV.#01" "$users/$top/example/eh_ZIV.#01" ||
  { echo "FAILED: run.bat's run differs from Linux"; exit 1; }
# zereduv-inspect --json: the same digits as on Linux.
# Each run in the table's folder, so that the file names in the reports
# are the same.
for t in examples/pillbox/pillbox.txt:1.3e9 tests/golden/tables/swifel-qwr-gun-176mhz.txt:1.76e8; do
  f=${t%%:*}
  (cd "$(dirname "$f")" &&
    "$linux_build/inspect/zereduv-inspect" table "$(basename "$f")" --frequency "${t##*:}" --json) >"$users/linux.json"
  (cd "$(dirname "$f")" &&
    "$wine" "$users/$top/zereduv-inspect.exe" table "$(basename "$f")" --frequency "${t##*:}" --json </dev/null) |
    tr -d '\r' >"$users/wine.json"
  cmp "$users/linux.json" "$users/wine.json" ||
    { echo "FAILED: inspect's JSON on $f differs from Linux"; diff "$users/linux.json" "$users/wine.json" | head; exit 1; }
done
echo "ZIP layout, CR LF texts, version resource, manifest; run.bat as Linux; inspect JSON as Linux"
end
