#!/usr/bin/env bash
# Installs what building and testing NRVNC needs on a Debian machine, when
# it is missing and we are root. Sourced by run.sh and test.sh.
set -euo pipefail

NRVNC_PACKAGES=(
  cmake g++ make pkg-config libgtest-dev
  libx11-dev libxft-dev libfontconfig-dev libxtst-dev libcurl4-openssl-dev
  xvfb xdotool x11-utils x11-xkb-utils fonts-liberation
  python3 python3-pyftpdlib x11vnc imagemagick
  # The viewer NRVNC shows a session in on Linux (through its adapter).
  tigervnc-viewer
  # The Windows builds (mingw-w64, posix threads) and their tests under Wine.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 openbox
)

nrvnc_missing_packages() {
  local missing=()
  for p in "${NRVNC_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

nrvnc_install_packages() {
  local missing
  missing=$(nrvnc_missing_packages)
  [ -z "$missing" ] && return 0
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
