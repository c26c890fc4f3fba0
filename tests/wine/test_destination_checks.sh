#!/usr/bin/env bash
# Destinations are checked before anything is written: /P= and /G= with
# wildcards or characters outside the system's code page end with exit code
# 8 and change nothing; no path is ever wildcard-expanded; the Destination
# page refuses such a folder and stays where it is.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "payload" >"$m/app/notepad.exe"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Destination Test"
version = "1"
title = "Destination Test"
destination = "C:\\DestTest"
group = "Destination Test"
[[files]]
source = "app/notepad.exe"
[[shortcuts]]
location = "group"
name = "Payload"
target = "{app}\\notepad.exe"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
C=$WINEPREFIX/drive_c

# What the prefix holds before: every file and its size.
snapshot() {
  (cd "$WINEPREFIX" && find drive_c -path 'drive_c/users/*/Temp' -prune -o -printf '%p %s\n' |
    sort)
}
expect_unchanged() {
  local now
  now=$(snapshot)
  [ "$now" = "$before" ] || fail "$1: $(diff <(echo "$before") <(echo "$now") | head -20)"
  echo "ok: $1"
}
before=$(snapshot)
notepad=$(md5sum <"$C/windows/notepad.exe")

for option in '/P=C:\win*' '/P=C:\Прове?ка' '/P=C:\Проверка' '/P=C:\Łukasz' '/P=DestTest' \
  '/G=Tools*' '/G=..\..\Outside' '/G=Группа'; do
  rc=0
  wine "$QB_TMP/setup.exe" /S "$option" '/LOG=C:\dest.log' || rc=$?
  expect_eq "$rc" 8 "exit code with $option"
  grep_q -F "option refused: ${option%%=*}=" "$C/dest.log" || fail "the log does not name ${option%%=*}="
  rm -f "$C/dest.log"
  expect_unchanged "$option changes nothing"
done
expect_eq "$(md5sum <"$C/windows/notepad.exe")" "$notepad" "the system's notepad.exe is untouched"

# The same folder without wildcards installs.
rc=0
wine "$QB_TMP/setup.exe" /S '/P=C:\Other Dest' '/G=Tools\Sub' || rc=$?
expect_eq "$rc" 0 "exit code with usable options"
expect_same_file "$m/app/notepad.exe" "$C/Other Dest/notepad.exe" "installed where /P= says"
rm -rf "$C/Other Dest"

# The Destination page refuses a folder with wildcards and stays.
before=$(snapshot)
T="Destination Test"
W=$QB_WIZARD_CLASS
field() { qb_drive dump "$T" "$W" | tr -d '\r' | grep '^control|Edit|111|' | cut -d'|' -f4,5; }
field_shown() { field | grep -q '|visible=1$'; }
box_shown() { qb_drive text "$T" '#32770' >/dev/null 2>&1; }
wine "$QB_TMP/setup.exe" &
pid=$!
qb_drive wait "$T" 30000 "$W" || fail "no wizard"
# On to the Destination page: Next until its field is shown.
for _ in 1 2 3 4; do
  field_shown && break
  qb_drive click "$T" "Next >" "$W"
  qb_wait_until 5 field_shown || true
done
expect_eq "$(field)" 'C:\DestTest|visible=1' "the Destination page is shown"
qb_drive type "$T" 'C:\win*' "$W"
qb_drive click "$T" "Next >" "$W"
qb_drive wait "$T" 20000 '#32770' || fail "no message for the refused folder"
expect_eq "$(qb_drive text "$T" '#32770' | tr -d '\r' | head -2 | tr '\n' '|')" \
  'Setup cannot write this file:|C:\win*|' "the page says why"
qb_drive click "$T" OK '#32770'
qb_wait_until 10 ! box_shown || fail "the message stays"
expect_eq "$(field)" 'C:\win*|visible=1' "the page stays, with the field as typed"
qb_cancel_installer "$T" || fail "cannot cancel"
qb_wait_exit $pid
expect_unchanged "the refused folder changes nothing"
