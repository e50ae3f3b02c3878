#!/usr/bin/env bash
# What a crew's computer gets: builds both packages into a scratch folder,
# unpacks them there (dpkg-deb -x, never installed on this machine), runs
# the unpacked commands and lints the packages.
#   check-packages.sh SOURCE-DIR BUILD-DIR
set -euo pipefail
src="$1"
build="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for tool in dpkg-deb lintian cpack; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; run scripts/install-deps.sh" >&2; exit 1; }
done

"$src/scripts/package.sh" --no-build "$build" "$scratch/debs" >/dev/null
controller=$(ls "$scratch"/debs/zeb_*.deb)
office=$(ls "$scratch"/debs/zeb-office_*.deb)
version=$(dpkg-deb -f "$controller" Version)
echo "packages: $(basename "$controller") $(du -k "$controller" | cut -f1) KiB," \
     "$(basename "$office") $(du -k "$office" | cut -f1) KiB"
[ "$(dpkg-deb -f "$office" Version)" = "$version" ] || fail "the two packages carry different versions"

root="$scratch/root"
dpkg-deb -x "$controller" "$root"
dpkg-deb -x "$office" "$root"

# Each package holds its own files, where Debian expects them.
expect_files() {
  local deb="$1"; shift
  local listing
  listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
  for path in "$@"; do
    grep -qx "\./$path" <<<"$listing" || fail "$(basename "$deb") lacks /$path"
  done
}
expect_files "$controller" usr/bin/zeb usr/libexec/zeb/zeb usr/lib/systemd/system/zeb.service \
  etc/default/zeb usr/share/man/man1/zeb.1.gz usr/share/doc/zeb/copyright usr/share/doc/zeb/changelog.gz
expect_files "$office" usr/bin/zeb-record usr/bin/zeb-unitsim usr/bin/zeb-uploadsrv \
  usr/share/man/man1/zeb-record.1.gz usr/share/man/man1/zeb-unitsim.1.gz \
  usr/share/man/man1/zeb-uploadsrv.1.gz usr/share/doc/zeb-office/copyright usr/share/doc/zeb-office/changelog.gz

# The screens' font comes with the controller; an edited /etc/default/zeb
# survives an upgrade; the start unit is installed but nothing enables it.
dpkg-deb -f "$controller" Depends | grep -q 'fonts-wqy-microhei' || fail "zeb does not depend on its font"
dpkg-deb -f "$controller" Depends | grep -q 'libqt6widgets6' || fail "zeb lacks its library dependencies"
dpkg-deb -I "$controller" conffiles 2>/dev/null | grep -qx /etc/default/zeb || fail "/etc/default/zeb is not a conffile"
if dpkg-deb -c "$controller" | grep -q '\.wants/' || dpkg-deb -I "$controller" postinst >/dev/null 2>&1; then
  fail "the zeb package enables its unit"
fi

# The unpacked commands: the version of the package, help on standard output
# with success. No display: zeb must answer without opening one.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ZEB_PROGRAM_DIR="$scratch/state" "$@"; }
for cmd in zeb zeb-record zeb-unitsim zeb-uploadsrv; do
  out=$(run "$root/usr/bin/$cmd" --version 2>&1) || fail "$cmd --version failed: $out"
  [ "$out" = "$cmd $version" ] || fail "$cmd --version says \"$out\", the package is $version"
  help=$(run "$root/usr/bin/$cmd" --help 2>/dev/null) || fail "$cmd --help failed"
  grep -q -- '--version' <<<"$help" || fail "$cmd --help does not list --version"
done
[ ! -e "$scratch/state" ] || fail "zeb created its program directory only to print help"

# Lintian: no errors; warnings are printed for the log.
for deb in "$controller" "$office"; do
  report=$(lintian --fail-on error --display-info "$deb" 2>&1) || fail "lintian finds errors in $(basename "$deb")"
  [ -z "$report" ] || printf '%s\n' "$report"
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "both packages unpack, answer --version $version and --help, and pass lintian"
