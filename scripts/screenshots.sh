#!/usr/bin/env bash
# Takes the README's screenshots from a private Xvfb display under Wine:
# docs/overwrite-dialog.png, docs/uninstaller.png, every page of the
# example installer's wizard, docs/wizard-*.png, and two of them at 150 %,
# docs/wizard-*-150.png.
set -euo pipefail
cd "$(dirname "$0")/.."
QB_WIN=$PWD/build/win
QB_WIN64=$PWD/build/win64
source tests/wine/lib.sh
work=$(mktemp -d /tmp/qbshots.XXXXXX)
export WINEPREFIX=$work/prefix
qb_start_xvfb "$work"
trap 'wineserver -k 2>/dev/null || true; qb_stop_xvfb; rm -rf "$work"' EXIT
wineboot -i >/dev/null 2>&1
wineserver -w
qb_unlink_home
mkdir -p "$work/m/app" "$WINEPREFIX/drive_c/$QB_PF/Tally/docs" docs
echo "the new guide, with a chapter on counting backwards" >"$work/m/app/guide.txt"
echo "old guide" >"$WINEPREFIX/drive_c/$QB_PF/Tally/docs/guide.txt"
touch -d '2021-02-03 10:00' "$WINEPREFIX/drive_c/$QB_PF/Tally/docs/guide.txt"
cp examples/tally/pictures/header.bmp "$work/m/"
cat >"$work/m/m.toml" <<'TOML'
[app]
name = "Tally"
version = "1.0"
[pictures]
header = "header.bmp"
[[files]]
source = "app/guide.txt"
destination = "{app}\\docs"
overwrite = "ask"
TOML
build/native/tool/quillbox build "$work/m/m.toml" -o "$work/setup.exe" \
  --stub "$QB_WIN/stub/quillbox-stub.exe" >/dev/null
wine "$work/setup.exe" /S &
setup=$!
qb_drive wait "Tally 1.0 Setup" 30000 TQuillboxReplaceFile
sleep 1
geometry=$(qb_drive list | tr -d '\r' | awk -F'|' '$1 == "TQuillboxReplaceFile" {print $4}')
shoot() {
  local geometry left top right bottom
  geometry=$(qb_drive list | tr -d '\r' | awk -F'|' -v c="$1" '$1 == c && $3 == "visible=1" {print $4}')
  IFS=, read -r left top right bottom <<<"$geometry"
  import -display "$DISPLAY" -window root -crop "$((right - left))x$((bottom - top))+$left+$top" "$2"
  echo "wrote $2"
}
shoot TQuillboxReplaceFile docs/overwrite-dialog.png
qb_drive click "Tally 1.0 Setup" Yes TQuillboxReplaceFile
wait "$setup" || true
wineserver -w

# The uninstaller's question, then Cancel.
wine "C:\\$QB_PF\\Tally\\uninstall.exe" &
uninstaller=$!
qb_drive wait "Uninstall Tally" 30000 TQuillboxUninstall
sleep 1
shoot TQuillboxUninstall docs/uninstaller.png
qb_drive click "Uninstall Tally" Cancel TQuillboxUninstall
wait "$uninstaller" || true

# Every page of the example's wizard: docs/wizard-*.png.
build/native/tool/quillbox build examples/tally/tally.toml -o "$work/tally-setup.exe" \
  --stub "$QB_WIN/stub/quillbox-stub.exe" >/dev/null
wine "$work/tally-setup.exe" &
setup=$!
T="Tally 1.0 Setup"
qb_drive wait "$T" 30000 TQuillboxWizard
sleep 1
page() {
  sleep 1
  shoot TQuillboxWizard "docs/wizard-$1.png"
  # Small files: the screenshots are kept in the repository.
  mogrify -colors 64 "docs/wizard-$1.png"
}
page welcome
qb_drive click "$T" "Next >" TQuillboxWizard
page license
qb_drive click "$T" "I Agree" TQuillboxWizard
page readme
qb_drive click "$T" "Next >" TQuillboxWizard
page destination
qb_drive click "$T" "Next >" TQuillboxWizard
page group
qb_drive click "$T" "Next >" TQuillboxWizard
page tasks
qb_drive click "$T" "Next >" TQuillboxWizard
page ready
qb_drive click "$T" "Install" TQuillboxWizard
for _ in $(seq 60); do
  qb_drive dump "$T" TQuillboxWizard | tr -d '\r' | grep -q '^control|Button|102|&Finish|' && break
  sleep 0.5
done
page finish
qb_drive click "$T" "Finish" TQuillboxWizard
wait "$setup" || true

# The same wizard at 150 % (LogPixels 144, which Wine reads for the
# system's DPI): its Welcome and Destination pages, then Cancel.
# docs/wizard-*-150.png.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
wineserver -k 2>/dev/null || true
wineserver -w
wine "$work/tally-setup.exe" &
setup=$!
qb_drive wait "$T" 30000 TQuillboxWizard
sleep 1
page welcome-150
qb_drive click "$T" "Next >" TQuillboxWizard
sleep 1
qb_drive click "$T" "I Agree" TQuillboxWizard
sleep 1
qb_drive click "$T" "Next >" TQuillboxWizard
page destination-150
qb_cancel_installer "$T"
wait "$setup" || true
