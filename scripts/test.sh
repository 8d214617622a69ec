#!/usr/bin/env bash
# Builds NRVNC and runs every test: once in a normal build, once more under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
nrvnc_install_packages linux windows release

jobs=${NRVNC_JOBS:-2}
status=0
for variant in build build-sanitize; do
  extra=()
  [ "$variant" = build-sanitize ] && extra=(-DNRVNC_SANITIZE=ON)
  cmake -S . -B "$variant" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
  cmake --build "$variant" -j"$jobs"
  echo "== Tests in $variant =="
  ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$variant" -j"$jobs" --output-on-failure --timeout 300 || status=1
done
exit $status
