#!/usr/bin/env bash
# Installs what NRVNC needs on a Debian machine, when it is missing and we
# are root. Sourced by run.sh, test.sh and release.sh, which name the parts
# they use: nrvnc_install_packages linux [windows] [release].
set -euo pipefail

# The Linux program and its demo: the build, the tests' display tools, the
# peers of a session (x11vnc, the FTP server) and the viewer NRVNC shows a
# session in on Linux (TigerVNC, through its adapter).
NRVNC_LINUX_PACKAGES=(
  cmake g++ make pkg-config libgtest-dev
  libx11-dev libxft-dev libfontconfig-dev libxtst-dev libcurl4-openssl-dev
  xvfb xdotool x11-utils x11-xkb-utils fonts-liberation
  python3 python3-pyftpdlib x11vnc imagemagick
  tigervnc-viewer
)
# The Windows programs (mingw-w64, posix threads; the icon is rendered from
# its SVG) and their runs under Wine (with a window manager).
NRVNC_WINDOWS_PACKAGES=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  librsvg2-bin imagemagick
  wine wine64 openbox
)
# The release artifacts and their checks: the MSI (wixl), the Debian
# package (dpkg-dev, lintian), the icon resources (icoutils).
NRVNC_RELEASE_PACKAGES=(
  wixl dpkg-dev lintian icoutils librsvg2-bin
)

nrvnc_missing_packages() {
  local missing=() list=() part p
  for part in "$@"; do
    case $part in
      linux) list=("${NRVNC_LINUX_PACKAGES[@]}") ;;
      windows) list=("${NRVNC_WINDOWS_PACKAGES[@]}") ;;
      release) list=("${NRVNC_RELEASE_PACKAGES[@]}") ;;
      *) echo "unknown part: $part" >&2; return 1 ;;
    esac
    for p in "${list[@]}"; do
      dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
  done
  printf '%s\n' "${missing[@]:-}" | sort -u | tr '\n' ' '
}

nrvnc_install_packages() {
  local missing
  missing=$(nrvnc_missing_packages "${@:-linux}")
  [ -z "${missing// /}" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: $missing (run as root, or install them with apt-get)" >&2
    return 1
  fi
  echo "Installing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
}
