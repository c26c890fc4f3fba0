#!/usr/bin/env bash
# Builds an installer and runs it under Wine, in a prefix of its own
# (build/demo-prefix), on the current display or on a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/wine/lib.sh
export WINEPREFIX=$PWD/build/demo-prefix
mkdir -p build/demo
if [ -z "${DISPLAY:-}" ]; then
  qb_start_xvfb build/demo
  trap 'wineserver -k 2>/dev/null || true; qb_stop_xvfb' EXIT
fi
[ -d "$WINEPREFIX/drive_c" ] || { echo "demo: creating the Wine prefix"; wineboot -i >/dev/null 2>&1; wineserver -w; }

echo "demo: building build/demo/setup.exe"
head -c 4000 /dev/urandom >build/demo/support.bin
build/native/tests/qbpack build/win/stub/quillbox-stub.exe build/demo/setup.exe \
  --set "65=Quillbox Demo" --support build/demo/support.bin
echo "demo: running setup.exe /S under Wine"
rc=0
wine build/demo/setup.exe /S || rc=$?
echo "demo: setup.exe ended with exit code $rc"
