#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop reads of it: the
# layout, the desktop entry, the AppStream metadata, the .kbx file type and the icon, and
# that the installed program runs without a display.
#   check_install.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*"; exit 1; }
for f in bin/torvikalen lib/veldrano/modules/torvikalen-window.so lib/veldrano/modules/torvikalen-sync.so share/veldrano/ayuda.htm \
         "share/applications/$id.desktop" \
         "share/mime/packages/$id.xml" "share/icons/hicolor/scalable/apps/$id.svg" \
         "share/metainfo/$id.metainfo.xml" share/man/man1/torvikalen.1.gz; do
  [ -f "$prefix/$f" ] || fail "$f not installed"
done

desktop="$prefix/share/applications/$id.desktop"
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
xmllint --noout "$prefix/share/mime/packages/$id.xml" \
  "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
grep -qx 'Exec=torvikalen %f' "$desktop" || fail "Exec does not pass the file"
grep -qx "Icon=$id" "$desktop" || fail "Icon is not the installed icon"
grep -qx 'Name=VELDRANO' "$desktop" || fail "no name"
grep -qx 'Comment=Guarde sus contactos.*' "$desktop" || fail "no Spanish comment"

# The desktop's MIME database built from our definition maps .kbx files, and books by their
# first line, to the type the desktop entry opens.
type=$(sed -n 's/^MimeType=\([^;]*\);.*$/\1/p' "$desktop")
[ -n "$type" ] || fail "no MimeType in the desktop entry"
# Other address books' exports open too.
for other in text/vcard text/x-vcard text/csv text/x-ldif; do
  grep -q "^MimeType=.*;$other;" "$desktop" || fail "the desktop entry does not open $other"
done
update-mime-database "$prefix/share/mime"
grep -q "^50:$type:\*\.kbx$" "$prefix/share/mime/globs2" || fail "*.kbx is not $type"
grep -q "$type" "$prefix/share/mime/magic" || fail "no magic for $type"

# The installed program converts without a display.
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
printf '[OPCIONES]\r\n' >"$work/a.kbx"
for _ in $(seq 11); do printf 'YES\r\n' >>"$work/a.kbx"; done
printf 'Ana\r\n\r\n555\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n' >>"$work/a.kbx"
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/torvikalen" --version | grep -q '^torvikalen (VELDRANO) '
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/torvikalen" --convert "$work/a.kbx" "$work/a.vcf"
grep -q '^TEL;TYPE=home:555' "$work/a.vcf" || fail "installed program did not convert"

# And the installed program finds its window: it opens the book and keeps running.
export XDG_DATA_HOME="$work/data"
QT_QPA_PLATFORM=offscreen "$prefix/bin/torvikalen" "$work/a.kbx" 2>"$work/window.err" &
window=$!
sleep 3
kill -0 "$window" 2>/dev/null || fail "the window did not stay open: $(cat "$work/window.err")"
kill "$window"
wait "$window" 2>/dev/null || true
echo "1 passed, 0 failed"
