#!/usr/bin/env bash
# Starts NRVNC for a demo (see demo.py); run.sh builds first.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j"${NRVNC_JOBS:-2}" --target nrvnc nrvnc_e2e vncviewer nrvnc-repeater >/dev/null
exec /usr/bin/python3 scripts/demo.py "$@"
