#!/usr/bin/env bash
# Builds the programs and prints the benchmark figures: NRVNC's on Linux
# beside TigerVNC's viewer, then NRVNC.exe's under Wine when Wine is there.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
nrvnc_install_packages
# TigerVNC's viewer to compare with, openbox for the waits with a window manager.
for p in tigervnc-viewer openbox; do
  if ! dpkg-query -W -f='${Status}' $p 2>/dev/null | grep -q "ok installed" && [ "$(id -u)" -eq 0 ]; then
    apt-get install -y -qq --no-install-recommends $p >/dev/null || true
  fi
done
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target nrvnc_e2e vncviewer nrvnc-repeater >/dev/null
/usr/bin/python3 bench/bench.py
# NRVNC.exe's figures under Wine beside them, where Wine is installed.
if [ -f bench/bench_wine.py ] && command -v wine >/dev/null 2>&1; then
  echo
  echo "NRVNC.exe under Wine:"
  cmake --build build -j2 >/dev/null  # the Windows programs, where the build makes them
  /usr/bin/python3 bench/bench_wine.py || echo "The Wine benchmark did not finish." >&2
fi
