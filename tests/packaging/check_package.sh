#!/usr/bin/env bash
# Builds the Debian package from a finished build tree with CPack and checks
# what an office would install: the executable, the menu entry and its icons,
# the AppStream entry, the run-time dependencies that no linker sees, files
# only under /usr, and no maintainer scripts (removing the package must never
# touch an office's data directory). The menu and AppStream entries are
# validated as they come out of the package.
#
# Usage: check_package.sh <build dir> <version>
# Exit 77 (reported as skipped) when a packaging tool is missing;
# tools/install-deps.sh installs them all.
set -uo pipefail
build=$1
version=$2
app_id=org.sakanova.Sakanova

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli file; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (tools/install-deps.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! (cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
deb=$work/out/sakanova_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
    ls "$work/out"
    echo "FAIL: no $(basename "$deb")"
    exit 1
fi
echo "built $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Contents: "mode owner/group size date time path" per entry.
dpkg-deb -c "$deb" >"$work/contents"
has_entry() { # mode-prefix path
    grep -qE "^$1 root/root .* \./${2//./\\.}\$" "$work/contents"
}
has_entry '-rwxr-xr-x' usr/bin/sakanova || fail "no executable usr/bin/sakanova"
has_entry '-rw-r--r--' "usr/share/applications/$app_id.desktop" || fail "no menu entry"
has_entry '-rw-r--r--' "usr/share/metainfo/$app_id.metainfo.xml" || fail "no AppStream entry"
has_entry '-rw-r--r--' "usr/share/icons/hicolor/scalable/apps/$app_id.svg" || fail "no scalable icon"
sizes=(16 24 32 48 64 128 256)
for s in "${sizes[@]}"; do
    has_entry '-rw-r--r--' "usr/share/icons/hicolor/${s}x$s/apps/$app_id.png" || fail "no ${s}x$s icon"
done
outside=$(awk '{print $NF}' "$work/contents" | grep -vE '^\./(usr/.*)?$' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
not_root=$(grep -v ' root/root ' "$work/contents" || true)
[ -z "$not_root" ] || fail "entries not owned by root: $not_root"

# Control data: name, version, dependencies; no scripts run at install or removal.
[ "$(dpkg-deb -f "$deb" Package)" = sakanova ] || fail "package name is not sakanova"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6core6 libqt6qml6 libsodium23 \
    qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qtquick-window \
    libqt6sql6-sqlite libqt6sql6-psql libxlsxwriter4 fonts-noto-core fonts-noto-color-emoji; do
    grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm config; do
    [ ! -e "$work/control/$script" ] || fail "the package carries a $script script"
done

# The installed files themselves.
dpkg-deb -x "$deb" "$work/root"
file -b "$work/root/usr/bin/sakanova" | grep -q '^ELF .* executable' ||
    fail "usr/bin/sakanova is not an ELF executable: $(file -b "$work/root/usr/bin/sakanova")"
for s in "${sizes[@]}"; do
    file -b "$work/root/usr/share/icons/hicolor/${s}x$s/apps/$app_id.png" |
        grep -q "^PNG image data, $s x $s," || fail "the ${s}x$s icon is not a $s-pixel PNG"
done
desktop=$work/root/usr/share/applications/$app_id.desktop
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the menu entry"
    grep -qx 'Exec=sakanova' "$desktop" || fail "the menu entry does not start sakanova"
    grep -qx "Icon=$app_id" "$desktop" || fail "the menu entry names another icon"
    grep -qx 'Categories=Office;Finance;' "$desktop" || fail "the menu entry is not under Office;Finance;"
    grep -q '^Name\[ar\]=' "$desktop" || fail "the menu entry has no Arabic name"
    grep -q '^Comment\[ar\]=' "$desktop" || fail "the menu entry has no Arabic comment"
fi
metainfo=$work/root/usr/share/metainfo/$app_id.metainfo.xml
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the AppStream entry"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "the AppStream entry launches another menu entry"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package checks passed"
