#!/usr/bin/env bash
# Builds NRVNC and runs it: the Linux program and its demo, installing and
# building only what they need. With --windows, NRVNC.exe (x86_64) under
# Wine, which needs the Windows toolchain and Wine as well.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
parts=(linux)
[ "${1:-}" = --windows ] && parts+=(windows)
nrvnc_install_packages "${parts[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# demo.sh builds the demo's targets only (the Windows program with --windows).
exec scripts/demo.sh "$@"
