#!/bin/sh
# Rewrites the expected/ files of the golden runs from runs of the program
# as it is now built.  Only for a change of output that has been reviewed:
# run the golden tests first, read their differences, then update and look
# at `git diff tests/golden` before committing.
#
#   tools/golden-update.sh [BUILD_DIR] [CASE_REGEX]
#
# BUILD_DIR defaults to build/; CASE_REGEX picks cases by name (default all).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cases=${2:-}

cmake --build "$build" -j2 --target zereduv golden_run
ZEREDUV_GOLDEN_UPDATE=1 ctest --test-dir "$build" -R "^golden\..*${cases}" \
  --output-on-failure
git -C "$root" status --short -- tests/golden
