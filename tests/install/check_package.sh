#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built: its control fields, its contents,
# lintian's verdict, and that its program runs.
#   check_package.sh PACKAGE_DIR APP_ID
set -euo pipefail
dir=$1 id=$2
deb=$(ls "$dir"/veldrano_*.deb)
fail() { echo "FAIL: $*"; exit 1; }

depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6widgets6 libqt6printsupport6 libqt6svg6 libc6; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[ "$(dpkg-deb --field "$deb" Package)" = veldrano ] || fail "package name"

listing=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for f in ./usr/bin/torvikalen ./usr/lib/veldrano/modules/torvikalen-window.so ./usr/lib/veldrano/modules/torvikalen-sync.so ./usr/share/veldrano/ayuda.htm \
         "./usr/share/applications/$id.desktop" "./usr/share/mime/packages/$id.xml" \
         "./usr/share/icons/hicolor/scalable/apps/$id.svg" "./usr/share/metainfo/$id.metainfo.xml" \
         ./usr/share/doc/veldrano/copyright ./usr/share/doc/veldrano/changelog.gz \
         ./usr/share/man/man1/torvikalen.1.gz; do
  grep -qx -- "$f" <<<"$listing" || fail "$f missing from the package"
done
outside=$(grep -v '^\./usr/' <<<"$listing" | grep -vx './' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

lintian --fail-on error "$deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
# The licence travels with the package, in the form Debian's tools read.
grep -qx 'License: GPL-3+' "$root/usr/share/doc/veldrano/copyright" || fail "copyright names no GPL-3+"
grep -q '<project_license>GPL-3.0-or-later</project_license>' \
  "$root/usr/share/metainfo/$id.metainfo.xml" || fail "AppStream names no licence"
env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/torvikalen" --version | grep -q '^torvikalen (VELDRANO) '
echo "1 passed, 0 failed"
