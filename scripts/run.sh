#!/usr/bin/env bash
# Builds NRVNC and runs it; with --windows, NRVNC.exe (x86_64) under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
nrvnc_install_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${NRVNC_JOBS:-2}"
program=build/app/nrvnc
[ "${1:-}" = --windows ] && program=build/windows-x86_64/bin/NRVNC.exe
if [ ! -x "$program" ] && [ ! -f "$program" ]; then
  echo "The program was not built: $program is missing." >&2
  exit 1
fi
exec scripts/demo.sh "$@"
