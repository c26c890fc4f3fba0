#!/usr/bin/env bash
# Builds the example installer (examples/tally) with the authoring tool,
# installs it silently under Wine in a prefix of its own (build/demo-prefix),
# on the current display or a private Xvfb display, and shows what it
# installed.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/wine/lib.sh
export WINEPREFIX=$PWD/build/demo-prefix
mkdir -p build/demo
if [ -z "${DISPLAY:-}" ]; then
  qb_start_xvfb build/demo
  trap 'wineserver -k 2>/dev/null || true; qb_stop_xvfb' EXIT
fi
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  echo "demo: creating the Wine prefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
qb_unlink_home

echo "== building the example installer"
build/native/tool/quillbox build examples/tally/tally.toml
echo
echo "== installing: tally-setup.exe /S"
rc=0
wine build/demo/tally-setup.exe /S || rc=$?
wineserver -w
echo "tally-setup.exe ended with exit code $rc"
C=$WINEPREFIX/drive_c
echo
echo "== files in C:\\Program Files\\Tally"
(cd "$C/Program Files/Tally" && find . -print | sed 's|^\./||' | sort)
echo
echo "== registry: HKCU\\Software\\Quillbox Examples\\Tally"
wine reg query 'HKCU\Software\Quillbox Examples\Tally' | tr -d '\r' | grep REG_
echo
echo "== tally.ini"
tr -d '\r' <"$C/Program Files/Tally/tally.ini"
echo
echo "== shortcuts"
find "$C/users" -name 'Tally.lnk' | sed "s|$C|C:|"
echo
echo "== font entry"
wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'Tally Digits (TrueType)' | tr -d '\r' | grep REG_
echo
echo "== uninstall log (first lines)"
tr -d '\r' <"$C/Program Files/Tally/uninstall.log" | head -20
