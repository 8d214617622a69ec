#!/usr/bin/env bash
# Starts NRVNC for a demo (see demo.py); run.sh builds first. With
# --windows the demo runs NRVNC.exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(nrvnc nrvnc-viewer nrvnc_e2e vncviewer nrvnc-repeater)
[ "${1:-}" = --windows ] && targets+=(nrvnc_windows_x86_64)
cmake --build build -j"${NRVNC_JOBS:-2}" --target "${targets[@]}" >/dev/null
exec /usr/bin/python3 scripts/demo.py "$@"
