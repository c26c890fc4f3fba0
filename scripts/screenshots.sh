#!/usr/bin/env bash
# Takes the README's screenshots from a private Xvfb display under Wine:
# docs/overwrite-dialog.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/wine/lib.sh
work=$(mktemp -d /tmp/qbshots.XXXXXX)
export WINEPREFIX=$work/prefix
qb_start_xvfb "$work"
trap 'wineserver -k 2>/dev/null || true; qb_stop_xvfb; rm -rf "$work"' EXIT
wineboot -i >/dev/null 2>&1
wineserver -w
qb_unlink_home
mkdir -p "$work/m/app" "$WINEPREFIX/drive_c/Program Files/Tally/docs" docs
echo "the new guide, with a chapter on counting backwards" >"$work/m/app/guide.txt"
echo "old guide" >"$WINEPREFIX/drive_c/Program Files/Tally/docs/guide.txt"
touch -d '2021-02-03 10:00' "$WINEPREFIX/drive_c/Program Files/Tally/docs/guide.txt"
cat >"$work/m/m.toml" <<'TOML'
[app]
name = "Tally"
version = "1.0"
[[files]]
source = "app/guide.txt"
destination = "{app}\\docs"
overwrite = "ask"
TOML
build/native/tool/quillbox build "$work/m/m.toml" -o "$work/setup.exe" >/dev/null
wine "$work/setup.exe" /S &
setup=$!
qb_drive() { wine build/win/tests/win/qbdrive.exe "$@"; }
qb_drive wait "Tally 1.0 Setup" 30000 TQuillboxReplaceFile
sleep 1
geometry=$(qb_drive list | tr -d '\r' | awk -F'|' '$1 == "TQuillboxReplaceFile" {print $4}')
IFS=, read -r left top right bottom <<<"$geometry"
import -display "$DISPLAY" -window root -crop "$((right - left))x$((bottom - top))+$left+$top" \
  docs/overwrite-dialog.png
qb_drive click "Tally 1.0 Setup" Yes TQuillboxReplaceFile
wait "$setup" || true
echo "wrote docs/overwrite-dialog.png"
