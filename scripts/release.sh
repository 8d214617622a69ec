#!/usr/bin/env bash
# Makes the release artifacts from an optimised build, into out/release/:
#   NRVNC-<version>-win32.msi, NRVNC-<version>-win32.zip, nrvnc_<version>_<arch>.deb
# The programs are built with -O2 and stripped. Extra arguments go to CMake,
# e.g. -DNRVNC_VIEWER_FILES=/path/to/viewer to put vncviewer.exe and
# SecureVNCPlugin.dsm from there into the MSI.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
nrvnc_install_packages linux windows release
out=$PWD/out/release
rm -rf "$out"
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DNRVNC_BUILD_TESTS=OFF \
    -DNRVNC_RELEASE_DIR="$out" "$@" >/dev/null
cmake --build build-release -j"${NRVNC_JOBS:-2}" --target nrvnc_release
lintian --fail-on error "$out"/nrvnc_*.deb
for artifact in "$out"/*; do
  printf '%8d KiB  %s\n' $(( $(stat -c %s "$artifact") / 1024 )) "${artifact#"$PWD"/}"
done
