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
key() { qb_drive key "$T" "$1" "$W"; }
focus_is() { [ "$(focus | cut -d'|' -f1,2)" = "$1" ]; }
focus_moved() { [ "$(focus | cut -d'|' -f1,2)" != "$1" ]; }
# A Tab, and the wait until the focus has left the control that had it.
tab() {
  local before
  before=$(focus | cut -d'|' -f1,2)
  key tab
  qb_wait_until 10 focus_moved "$before" || fail "Tab did not move the focus from $before"
}
# Tab round to the Next button (the focus cycles through the page).
tab_to_next() {
  for _ in $(seq 12); do
    focus_is "Button|102" && return 0
    tab
  done
  fail "Tab never reaches the Next button"
}
# Waits until the wizard shows the line given.
expect_title() {
  qb_wait_controls "$T" "$W" 20 "$1" >/dev/null || fail "expected the page with \"$1\""
}

qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" >"$QB_TMP/code" &
pid=$!
qb_wait_wizard "$T" >/dev/null || fail "no wizard"
# The wizard gives Next the focus as the last step of its set-up.
qb_wait_until 20 focus_is "Button|102" || fail "the focus never came to Next"
expect_eq "$(focus)" "Button|102|&Next >" "Next has the focus on the Welcome page"
key enter
expect_title '|Choose a Folder|visible=1'
echo "ok: Enter is Next"

# Tab from Next: Cancel, the destination field, Browse, Back, Next again.
order=""
for _ in 1 2 3 4 5; do
  tab
  order+="$(focus | cut -d'|' -f1,2);"
done
expect_eq "$order" "Button|103;Edit|111;Button|112;Button|101;Button|102;" \
  "Tab follows the creation order on the Destination page"

key escape
qb_drive wait "$T" 10000 '#32770' || fail "Escape asks no question"
question=$(qb_handle "$T" '#32770')
qb_drive click "$T" No '#32770'
qb_wait_gone "$question" || fail "No did not close the question"
# Focus on round to Next (Tab cycles). The wizard handles these keys only
# once it is done with the answer: had No ended it, it would be gone by then.
tab
tab_to_next
qb_drive wait "$T" 0 "$W" || fail "No after Escape did not keep the wizard"
expect_title '|Choose a Folder|visible=1'
echo "ok: Escape asks to cancel and No keeps the page"

# On to the group page.
key enter
expect_title "|Where should Setup put the program's shortcuts?|visible=1"
qb_drive toggle "$T" "Don't create a Start menu folder" "$W"
qb_wait_controls "$T" "$W" 10 'control|Edit|113|*|enabled=0' >/dev/null ||
  fail "the no-group box did not grey the field"
tab_to_next
# On to the Ready page (through the Tasks page, if the package has one):
# Enter, and the wait until the page has changed.
for _ in 1 2 3; do
  before=$(qb_wizard_page "$T")
  key enter
  qb_wait_until 20 qb_page_differs "$T" "$before" || fail "Enter did not turn the page"
  grep -qF '|Ready to Install|visible=1' <<<"$(dump)" && break
done
expect_title '|Ready to Install|visible=1'
key enter
qb_wait_controls "$T" "$W" 120 'control|Button|102|&Finish|visible=1|enabled=1' >/dev/null ||
  fail "the run did not reach the Finish page"
tab_to_next
key enter
qb_wait_exit $pid
expect_eq "$(cat "$QB_TMP/code")" 0 "Enter on the Finish page ends with exit code 0"
[ -f "$C/Keys/k.txt" ] || fail "the file was not installed"
[ -z "$(find "$C/users" -name 'Keys.lnk')" ] || fail "the no-group box still made the group shortcut"
[ -z "$(find "$C/users" -type d -name 'Keys Group')" ] || fail "the no-group box still made the group folder"
[ -n "$(find "$C/users" -name 'Keys Desktop.lnk')" ] || fail "no desktop shortcut"
echo "ok: with the no-group box ticked no group shortcut is made, the desktop one is"
