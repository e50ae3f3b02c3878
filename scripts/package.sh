#!/usr/bin/env bash
# Builds the Debian packages: zeb (the instrument's controller) and
# zeb-office (the record tool, the unit simulator and the test servers).
#   scripts/package.sh [--no-build] [BUILD-DIR [OUT-DIR]]
# BUILD-DIR defaults to build/, OUT-DIR to BUILD-DIR/packages; the paths of
# the packages are printed last. --no-build packages what is built already.
set -euo pipefail
cd "$(dirname "$0")/.."

build_first=1
if [ "${1:-}" = "--no-build" ]; then
  build_first=0
  shift
fi
build="${1:-build}"
out="${2:-$build/packages}"

if [ "$build_first" = 1 ]; then
  if [ ! -f "$build/build.ninja" ]; then
    launcher=()
    command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
  fi
  # Only what goes into the packages; the tests are not needed for them.
  cmake --build "$build" --target zeb zeb-record zeb-unitsim zeb-uploadsrv zeb_package_docs
fi

mkdir -p "$out"
out="$(cd "$out" && pwd)"
rm -f "$out"/zeb_*.deb "$out"/zeb-office_*.deb
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || {
  cat "$out/cpack.log" >&2
  echo "package.sh: cpack failed (log above)" >&2
  exit 1
}
rm -rf "$out/_CPack_Packages"
ls "$out"/*.deb
