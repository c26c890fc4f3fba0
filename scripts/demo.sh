#!/usr/bin/env bash
# Builds the example installer (examples/tally) with the authoring tool,
# installs it silently under Wine in a prefix of its own (build/demo-prefix),
# on the current display or a private Xvfb display, and shows what it
# installed, in Add/Remove Programs too; then removes it again silently with
# its uninstaller and shows that nothing is left.
set -euo pipefail
cd "$(dirname "$0")/.."
QB_WIN=$PWD/build/win
QB_WIN64=$PWD/build/win64
source tests/wine/lib.sh
export WINEPREFIX=$PWD/build/demo-prefix
mkdir -p build/demo
if [ -z "${DISPLAY:-}" ]; then
  qb_start_xvfb build/demo
  trap 'wineserver -k 2>/dev/null || true; qb_stop_xvfb' EXIT
fi
# A prefix of another architecture (from an earlier version) is made anew.
if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q "^#arch=$WINEARCH" "$WINEPREFIX/system.reg"; then
  rm -rf "$WINEPREFIX"
fi
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  echo "demo: creating the Wine prefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
qb_unlink_home

echo "== building the example installer"
build/native/tool/quillbox build examples/tally/tally.toml --stub "$QB_WIN/stub/quillbox-stub.exe"
echo
echo "== the wizard in front of its background window (build/demo/wizard.png), then Cancel"
wine build/demo/tally-setup.exe &
pid=$!
if qb_drive wait "Tally 1.0 Setup" 30000 "$QB_WIZARD_CLASS"; then
  sleep 2
  import -window root build/demo/wizard.png && echo "screenshot: build/demo/wizard.png"
  qb_cancel_installer "Tally 1.0 Setup" || true
fi
wait $pid || true
echo
# Start from a machine without Tally, whatever an earlier demo left.
rm -rf "$WINEPREFIX/drive_c/$QB_PF/Tally"
echo "== installing: tally-setup.exe /S"
rc=0
wine build/demo/tally-setup.exe /S || rc=$?
wineserver -w
echo "tally-setup.exe ended with exit code $rc"
C=$WINEPREFIX/drive_c
echo
echo "== files in C:\\$QB_PF\\Tally"
(cd "$C/$QB_PF/Tally" && find . -print | sed 's|^\./||' | sort)
echo
echo "== registry: HKCU\\Software\\Quillbox Examples\\Tally"
wine reg query 'HKCU\Software\Quillbox Examples\Tally' | tr -d '\r' | grep REG_
echo
echo "== tally.ini"
tr -d '\r' <"$C/$QB_PF/Tally/tally.ini"
echo
echo "== shortcuts"
find "$C/users" -name 'Tally.lnk' | sed "s|$C|C:|"
echo
echo "== font entry"
wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'Tally Digits (TrueType)' | tr -d '\r' | grep REG_
echo
echo "== uninstall log (first lines)"
tr -d '\r' <"$C/$QB_PF/Tally/uninstall.log" | head -20
echo
ARP='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tally'
echo "== Add/Remove Programs: $ARP"
wine reg query "$ARP" | tr -d '\r' | grep REG_
echo
quiet=$(wine reg query "$ARP" /v QuietUninstallString | tr -d '\r' |
  sed -n 's/^ *QuietUninstallString  *REG_SZ  *//p')
echo "== uninstalling: $quiet"
rc=$(wine "$QB_WIN/tests/win/qbexit.exe" --command "$quiet" | tr -d '\r')
wineserver -w
echo "the uninstaller ended with exit code $rc"
echo
echo "== what is left"
[ -e "$C/$QB_PF/Tally" ] && echo "C:\\$QB_PF\\Tally: $(ls "$C/$QB_PF/Tally")" ||
  echo "C:\\$QB_PF\\Tally: gone"
wine reg query "$ARP" >/dev/null 2>&1 && echo "Add/Remove Programs entry: still there" ||
  echo "Add/Remove Programs entry: gone"
wine reg query 'HKCU\Software\Quillbox Examples\Tally' >/dev/null 2>&1 &&
  echo "HKCU\Software\Quillbox Examples\Tally: still there" ||
  echo "HKCU\Software\Quillbox Examples\Tally: gone"
echo "shortcuts: $(find "$C/users" -name 'Tally.lnk' | wc -l) left"
