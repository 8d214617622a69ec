#!/usr/bin/env bash
# Builds the Debian package of NRVNC: nrvnc and its viewer adapter in one
# folder (/usr/lib/nrvnc, so that nrvnc finds the adapter beside itself),
# /usr/bin/nrvnc a link to it, the menu entry, the icon and the man page.
# Called by the build (cmake/packaging.cmake):
#   make_deb.sh OUT.deb VERSION NRVNC ADAPTER ICON_DIR MAN_PAGE
# ICON_DIR holds hicolor/<n>x<n>/apps/nrvnc.png; MAN_PAGE is nrvnc.1 with
# the version filled in.
set -euo pipefail
out=$1 version=$2 program=$3 adapter=$4 icons=$5 man=$6
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
umask 022

install -D -m 755 "$program" "$root/usr/lib/nrvnc/nrvnc"
install -D -m 755 "$adapter" "$root/usr/lib/nrvnc/vncviewer"
strip --strip-unneeded --remove-section=.comment --remove-section=.note \
    "$root/usr/lib/nrvnc/nrvnc" "$root/usr/lib/nrvnc/vncviewer"
mkdir -p "$root/usr/bin"
ln -s ../lib/nrvnc/nrvnc "$root/usr/bin/nrvnc"
install -D -m 644 "$here/nrvnc.desktop" "$root/usr/share/applications/nrvnc.desktop"
(cd "$icons" && find hicolor -name nrvnc.png) | while read -r png; do
    install -D -m 644 "$icons/$png" "$root/usr/share/icons/$png"
done
install -D -m 644 "$here/nrvnc.svg" "$root/usr/share/icons/hicolor/scalable/apps/nrvnc.svg"
install -d "$root/usr/share/man/man1" "$root/usr/share/doc/nrvnc"
gzip -9n < "$man" > "$root/usr/share/man/man1/nrvnc.1.gz"
install -m 644 "$here/copyright" "$root/usr/share/doc/nrvnc/copyright"
date=$(date -R -d "@${SOURCE_DATE_EPOCH:-$(stat -c %Y "$here/nrvnc.wxs")}")
printf 'nrvnc (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- Norvane <nrvnc@norvane.com>  %s\n' \
    "$version" "$version" "$date" | gzip -9n > "$root/usr/share/doc/nrvnc/changelog.gz"
chmod 644 "$root/usr/share/doc/nrvnc/changelog.gz" "$root/usr/share/man/man1/nrvnc.1.gz"

# The libraries the two programs link; libcurl and TigerVNC are loaded or
# started only when needed, so they are recommended.
mkdir -p "$work/debian"
printf 'Source: nrvnc\n\nPackage: nrvnc\nArchitecture: any\n' > "$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O --warnings=0 -e"$root/usr/lib/nrvnc/nrvnc" \
    -e"$root/usr/lib/nrvnc/vncviewer" 2> >(grep -v "should already be installed" >&2) |
    sed -n 's/^shlibs:Depends=//p')
mkdir -p "$root/DEBIAN"
cat > "$root/DEBIAN/control" <<CONTROL
Package: nrvnc
Version: $version
Architecture: $(dpkg --print-architecture)
Maintainer: Norvane <nrvnc@norvane.com>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Recommends: tigervnc-viewer, libcurl4 | libcurl3-gnutls
Section: net
Priority: optional
Description: launcher for remote viewing sessions
 NRVNC asks whether to connect on the local network or over the internet,
 takes a host name or the 4-digit access code the remote side gives out,
 and starts a VNC viewer with the right command line, through a repeater
 for internet sessions. It watches the viewer until the session is up and
 offers to try again when it fails.
 .
 The package includes an adapter that shows the session in TigerVNC's
 viewer.
CONTROL
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
dpkg-deb --root-owner-group -Zxz --build "$root" "$out" >/dev/null
