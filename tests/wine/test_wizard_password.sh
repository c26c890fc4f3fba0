#!/usr/bin/env bash
# The password page: Next stays disabled for a wrong password and comes on
# for the right one; Back and Next again find it enabled for the right one;
# the installation then completes.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "protected" >"$m/app/p.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Password Test"
version = "1"
title = "Password Test"
destination = "C:\\Protected"
password = "s3cret"
[settings]
startup_notice = "Have your password at hand."
[uninstall]
enabled = false
[[files]]
source = "app/p.txt"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
T="Password Test"
W=$QB_WIZARD_CLASS
# Waits until Next is enabled (1) or disabled (0), as a change to the
# password field makes it.
expect_next() {
  qb_wait_controls "$T" "$W" 10 "control|Button|102|*|visible=1|enabled=$1" >/dev/null ||
    fail "$2: Next is not $([ "$1" = 1 ] && echo enabled || echo disabled)"
  echo "ok: $2"
}
# Does the control with the focus have class $1?
focus_on() { [ "$(qb_drive focus "$T" "$W" | tr -d '\r' | cut -d'|' -f2)" = "$1" ]; }
qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" >"$QB_TMP/code" &
pid=$!
qb_drive wait "$T" 30000 "$W" || fail "no wizard"
# The start-up notice comes shortly after the wizard, once.
qb_drive wait "$T" 10000 '#32770' || fail "no start-up notice"
expect_eq "$(qb_drive text "$T" '#32770' | tr -d '\r')" "Have your password at hand." "the start-up notice"
notice=$(qb_handle "$T" '#32770')
qb_drive click "$T" OK '#32770'
qb_wait_gone "$notice" || fail "OK did not close the notice"
# From the welcome page to the password page. The click is posted after the
# notice was answered: once the page has turned, the wizard has handled every
# tick of the notice timer that came before it, and a second notice would
# be showing now.
qb_turn_page "$T" "Next >" || fail "Next did not leave the welcome page"
qb_wait_controls "$T" "$W" 10 'control|Button|0|Password|visible=1' >/dev/null || fail "no password frame"
! qb_drive wait "$T" 0 '#32770' 2>/dev/null || fail "the notice came twice"
echo "ok: the notice came once"
expect_next 0 "on the password page Next starts disabled"
qb_drive type "$T" "wrong" "$W"
expect_next 0 "a wrong password keeps Next disabled"
# A click on the disabled Next must not leave the page. A Tab posted after
# the click takes the focus from the field; the wizard handles posted
# messages in order, so once the focus has moved the click has been handled.
qb_wait_until 10 focus_on Edit || fail "the password field does not have the focus"
qb_drive click "$T" "Next >" "$W"
qb_drive key "$T" tab "$W"
qb_wait_until 10 ! focus_on Edit || fail "Tab did not take the focus from the password field"
qb_drive dump "$T" "$W" | tr -d '\r' | grep_q '^control|Button|0|Password|visible=1' ||
  fail "a click on the disabled Next left the password page"
echo "ok: a click on the disabled Next stays on the password page"
qb_drive type "$T" "s3cret" "$W"
expect_next 1 "the right password enables Next"
qb_drive type "$T" "S3CRET" "$W"
expect_next 0 "the password is case-sensitive"
qb_drive type "$T" "s3cret" "$W"
expect_next 1 "the right password again"
qb_turn_page "$T" "< Back" || fail "Back did not leave the password page"
qb_turn_page "$T" "Next >" || fail "Next did not come back to the password page"
qb_wait_controls "$T" "$W" 10 'control|Button|0|Password|visible=1' >/dev/null ||
  fail "Next after Back did not show the password page"
expect_next 1 "back on the password page, the typed password still counts"
# On to the end.
qb_walk_wizard "$T"
qb_wait_exit $pid
expect_eq "$(cat "$QB_TMP/code")" 0 "the installation with a password completes"
expect_same_file "$m/app/p.txt" "$WINEPREFIX/drive_c/Protected/p.txt" "its file is installed"
