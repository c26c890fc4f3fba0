#!/usr/bin/env bash
# Builds the example installer (examples/tally) with the authoring tool and
# runs it under Wine, in a prefix of its own (build/demo-prefix), on the
# current display or on a private Xvfb display.
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

echo "demo: building the example installer"
build/native/tool/quillbox build examples/tally/tally.toml
build/native/tool/quillbox inspect build/demo/tally-setup.exe | sed -n '/^Files/,/^$/p'

echo "demo: running tally-setup.exe /S under Wine"
rc=0
wine build/demo/tally-setup.exe /S || rc=$?
echo "demo: tally-setup.exe ended with exit code $rc"
