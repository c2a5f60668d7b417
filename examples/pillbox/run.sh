#!/bin/sh
# Installs what the build is missing, builds zereduv and runs it on the
# shipped pillbox example in a fresh copy of this folder under
# build/example-run/, then lists what the run wrote.
# The table was made with:
#   build/pillbox_table --frequency 1.3e9 --length 11.5 --nz 60 --nr 20 \
#                       --e0 5 --half --out examples/pillbox/pillbox.txt
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"

# What the build still needs (installed when missing), then the build with
# the directory and flags of the README's test command, so that the tests
# later reuse what this builds.
sh tools/setup-deps.sh
if ! command -v cmake >/dev/null 2>&1; then
  echo "examples/pillbox/run.sh: cmake is missing (Debian package cmake)" >&2
  exit 1
fi
cmake -S . -B build -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build -j2 --target zereduv

run="$root/build/example-run"
rm -rf "$run"
mkdir -p "$run"
cp "$here/zereduv.dat" "$here/pillbox.txt" "$run/"

cd "$run"
status=0
"$root/build/zereduv" || status=$?

echo
echo "Outputs in $run:"
ls -l "$run"
echo
echo "Last lines of the log (zereduv.log):"
tail -n 5 zereduv.log
exit "$status"
