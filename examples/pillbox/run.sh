#!/bin/sh
# Builds zereduv and runs it on the shipped pillbox example in a fresh copy
# of this folder under build/example-run/, then lists what the run wrote.
# The table was made with:
#   build/pillbox_table --frequency 1.3e9 --length 11.5 --nz 60 --nr 20 \
#                       --e0 5 --half --out examples/pillbox/pillbox.txt
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"

cmake -S . -B build
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
