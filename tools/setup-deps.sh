#!/bin/sh
# Installs the Debian packages that building and testing zereduv still need,
# and only those that are missing: apt-get, non-interactive, through sudo
# when not run as root.  When it cannot install, it names the packages and
# stops with status 1.
#
#   tools/setup-deps.sh         build, the example, the tests, the package
#   tools/setup-deps.sh --ci    also what CI adds: cppcheck, clang-format
#                               14, clang and its fuzzer runtime,
#                               chromium, expat and zlib for the picture
#                               tests, lintian for the package, numpy and
#                               h5py for the checks of the field file's
#                               readers and openPMD export
set -eu

# cmake, g++, make: the build; libgtest-dev: the tests;
# nlohmann-json3-dev: zereduv-inspect --json; libhdf5-dev: its --openpmd;
# file: cpack's dependency scan.
pkgs="cmake g++ make libgtest-dev nlohmann-json3-dev libhdf5-dev file"
case "${1-}" in
  "") ;;
  --ci)
    pkgs="$pkgs cppcheck clang clang-format-14 libclang-rt-14-dev chromium libexpat1-dev zlib1g-dev lintian python3-numpy python3-h5py" ;;
  *)
    echo "usage: $0 [--ci]" >&2
    exit 2 ;;
esac

if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "setup-deps: not a Debian system; make sure the equivalents of these" \
       "Debian packages are installed: $pkgs" >&2
  exit 0
fi

missing=""
for p in $pkgs; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q ' installed$'; then
    missing="$missing $p"
  fi
done
missing=${missing# }
[ -z "$missing" ] && exit 0

fail() {
  echo "setup-deps: cannot install ($1); these Debian packages are missing:" >&2
  echo "    $missing" >&2
  echo "install them with:  sudo apt-get install $missing" >&2
  exit 1
}

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo >/dev/null 2>&1; then
  # A password prompt only where someone can answer it.
  if [ -t 0 ]; then as_root="sudo"; else as_root="sudo -n"; fi
else
  fail "not root and no sudo"
fi
command -v apt-get >/dev/null 2>&1 || fail "apt-get not found"

echo "setup-deps: installing $missing"
# Waits up to 5 minutes for a dpkg lock held by another apt run.
apt="env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=300"
# shellcheck disable=SC2086  # word splitting of the commands is wanted
$as_root $apt update ||
  echo "setup-deps: apt-get update failed; trying the install anyway" >&2
# shellcheck disable=SC2086
$as_root $apt install -y --no-install-recommends $missing ||
  fail "apt-get install failed"
