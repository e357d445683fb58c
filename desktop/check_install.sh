#!/usr/bin/env bash
# Checks what `cmake --install` lays out and what the Debian package holds:
# every file in place, the desktop entry and the AppStream metadata valid,
# the installed tool working without the web engine. Usage: check_install.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "check_install: $*" >&2; exit 1; }

root="$work/root/usr"
cmake --install "$build" --prefix "$root" >/dev/null
for f in bin/velmora bin/velmora-tool share/velmora/skin.bin share/applications/velmora.desktop \
         share/metainfo/org.velmora.Velmora.metainfo.xml; do
  [ -f "$root/$f" ] || fail "missing $f"
done
for s in 16 22 24 32 48 64 128 256; do
  icon="$root/share/icons/hicolor/${s}x${s}/apps/velmora.png"
  [ -f "$icon" ] || fail "missing the ${s}x${s} icon"
  [ "$(file -b "$icon" | grep -o "$s x $s")" = "$s x $s" ] || fail "the ${s}x${s} icon is $(file -b "$icon")"
done
desktop-file-validate "$root/share/applications/velmora.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net --no-color "$root/share/metainfo/org.velmora.Velmora.metainfo.xml" >"$work/as.log" 2>&1 ||
  { cat "$work/as.log" >&2; fail "AppStream metadata invalid"; }
grep -q "^Exec=velmora$" "$root/share/applications/velmora.desktop" || fail "the menu entry does not start velmora"
# The tool needs no web engine, installed as built.
if ldd "$root/bin/velmora-tool" | grep -q WebEngine; then fail "velmora-tool links the web engine"; fi
QT_QPA_PLATFORM=offscreen "$root/bin/velmora-tool" skin info "$root/share/velmora/skin.bin" >/dev/null ||
  fail "the installed tool cannot read the installed skin"

# The package: the same tree under /usr, with its dependencies worked out.
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$(ls "$work"/package/*.deb)"
dpkg-deb -f "$deb" Depends | grep -q libqt6webenginecore6 || fail "the package does not depend on the web engine"
dpkg-deb -f "$deb" Depends | grep -q gstreamer1.0-plugins-good || fail "the package does not depend on the player's plugins"
dpkg-deb -x "$deb" "$work/deb"
for f in usr/bin/velmora usr/share/applications/velmora.desktop usr/share/icons/hicolor/48x48/apps/velmora.png \
         usr/share/metainfo/org.velmora.Velmora.metainfo.xml; do
  [ -f "$work/deb/$f" ] || fail "the package lacks /$f"
done
echo "install tree and package: ok ($(basename "$deb"), $(du -k "$deb" | cut -f1) KiB)"
