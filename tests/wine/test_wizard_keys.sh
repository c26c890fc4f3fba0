#!/usr/bin/env bash
# The wizard by keyboard alone: Enter is Next, Escape asks to cancel (No
# keeps the wizard), Tab moves through the controls in the order they were
# created (the buttons, then the page's own controls). The "no group" box
# ticked on the Program group page: the run then makes no group shortcut,
# while the desktop shortcut is still made.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
C=$WINEPREFIX/drive_c
mkdir -p "$m/app"
echo "payload" >"$m/app/k.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Keys Test"
version = "1"
title = "Keys Test"
destination = "C:\\Keys"
group = "Keys Group"
[uninstall]
enabled = false
[[files]]
source = "app/k.txt"
[[shortcuts]]
location = "group"
name = "Keys"
target = "{app}\\k.txt"
[[shortcuts]]
location = "desktop"
name = "Keys Desktop"
target = "{app}\\k.txt"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
T="Keys Test"
W=$QB_WIZARD_CLASS
dump() { qb_drive dump "$T" "$W" | tr -d '\r'; }
focus() { qb_drive focus "$T" "$W" | tr -d '\r' | cut -d'|' -f2-4; }
key() {
  qb_drive key "$T" "$1" "$W"
  sleep 0.5
}
# Tab round to the Next button (the focus cycles through the page).
tab_to_next() {
  for _ in $(seq 12); do
    [ "$(focus | cut -d'|' -f1,2)" = "Button|102" ] && return 0
    key tab
  done
  fail "Tab never reaches the Next button"
}
expect_title() {
  local d
  d=$(dump)
  grep -qF -- "$1" <<<"$d" || fail "expected the page with \"$1\", the wizard shows:
$d"
}

qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" >"$QB_TMP/code" &
pid=$!
qb_drive wait "$T" 30000 "$W" || fail "no wizard"
sleep 1
expect_eq "$(focus)" "Button|102|&Next >" "Next has the focus on the Welcome page"
key enter
expect_title '|Choose a Folder|visible=1'
echo "ok: Enter is Next"

# Tab from Next: Cancel, the destination field, Browse, Back, Next again.
order=""
for _ in 1 2 3 4 5; do
  key tab
  order+="$(focus | cut -d'|' -f1,2);"
done
expect_eq "$order" "Button|103;Edit|111;Button|112;Button|101;Button|102;" \
  "Tab follows the creation order on the Destination page"

key escape
qb_drive wait "$T" 10000 '#32770' || fail "Escape asks no question"
qb_drive click "$T" No '#32770'
sleep 1
qb_drive wait "$T" 2000 "$W" || fail "No after Escape did not keep the wizard"
expect_title '|Choose a Folder|visible=1'
echo "ok: Escape asks to cancel and No keeps the page"

# Focus back on Next (Tab cycles), then on to the group page.
tab_to_next
key enter
expect_title "|Where should Setup put the program's shortcuts?|visible=1"
qb_drive toggle "$T" "Don't create a Start menu folder" "$W"
sleep 0.5
grep -q '^control|Edit|113|.*enabled=0' <<<"$(dump)" || fail "the no-group box did not grey the field"
tab_to_next
# On to the Ready page (through the Tasks page, if the package has one).
for _ in 1 2 3; do
  key enter
  grep -qF '|Ready to Install|visible=1' <<<"$(dump)" && break
done
expect_title '|Ready to Install|visible=1'
key enter
for _ in $(seq 60); do
  grep -q '^control|Button|102|&Finish|' <<<"$(dump)" && break
  sleep 0.5
done
expect_title 'control|Button|102|&Finish|visible=1|enabled=1'
tab_to_next
key enter
wait $pid
expect_eq "$(cat "$QB_TMP/code")" 0 "Enter on the Finish page ends with exit code 0"
[ -f "$C/Keys/k.txt" ] || fail "the file was not installed"
[ -z "$(find "$C/users" -name 'Keys.lnk')" ] || fail "the no-group box still made the group shortcut"
[ -z "$(find "$C/users" -type d -name 'Keys Group')" ] || fail "the no-group box still made the group folder"
[ -n "$(find "$C/users" -name 'Keys Desktop.lnk')" ] || fail "no desktop shortcut"
echo "ok: with the no-group box ticked no group shortcut is made, the desktop one is"
