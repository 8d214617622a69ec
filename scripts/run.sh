#!/usr/bin/env bash
# Builds NRVNC and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
nrvnc_install_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${NRVNC_JOBS:-2}"
if [ ! -x build/app/nrvnc ]; then
  echo "The program was not built: no desktop backend exists yet." >&2
  exit 1
fi
exec scripts/demo.sh "$@"
