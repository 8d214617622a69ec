#!/usr/bin/env bash
# Builds the programs and prints the benchmark figures.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
nrvnc_install_packages
if ! dpkg-query -W -f='${Status}' tigervnc-viewer 2>/dev/null | grep -q "ok installed" && [ "$(id -u)" -eq 0 ]; then
  apt-get install -y -qq tigervnc-viewer >/dev/null || true
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target nrvnc_e2e vncviewer nrvnc-repeater >/dev/null
exec /usr/bin/python3 bench/bench.py
