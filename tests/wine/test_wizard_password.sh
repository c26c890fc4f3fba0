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
next_state() {
  qb_drive dump "$T" "$QB_WIZARD_CLASS" | tr -d '\r' | grep '^control|Button|102|' | sed 's/.*enabled=\([01]\).*/\1/'
}
qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" >"$QB_TMP/code" &
pid=$!
qb_drive wait "$T" 30000 "$QB_WIZARD_CLASS" || fail "no wizard"
# The start-up notice comes shortly after the wizard, once.
qb_drive wait "$T" 10000 '#32770' || fail "no start-up notice"
expect_eq "$(qb_drive text "$T" '#32770' | tr -d '\r')" "Have your password at hand." "the start-up notice"
qb_drive click "$T" OK '#32770'
sleep 1
qb_drive wait "$T" 500 '#32770' && fail "the notice came twice"
sleep 0.5
# From the welcome page to the password page.
qb_drive click "$T" "Next >" "$QB_WIZARD_CLASS"
sleep 0.5
dump=$(qb_drive dump "$T" "$QB_WIZARD_CLASS" | tr -d '\r')
grep -q '^control|Button|0|Password|visible=1' <<<"$dump" || fail "no password frame: $dump"
expect_eq "$(next_state)" 0 "on the password page Next starts disabled"
qb_drive type "$T" "wrong" "$QB_WIZARD_CLASS"
sleep 0.3
expect_eq "$(next_state)" 0 "a wrong password keeps Next disabled"
qb_drive click "$T" "Next >" "$QB_WIZARD_CLASS"
sleep 0.3
qb_drive dump "$T" "$QB_WIZARD_CLASS" | tr -d '\r' | grep_q '^control|Button|0|Password|visible=1' ||
  fail "a click on the disabled Next left the password page"
qb_drive type "$T" "s3cret" "$QB_WIZARD_CLASS"
sleep 0.3
expect_eq "$(next_state)" 1 "the right password enables Next"
qb_drive type "$T" "S3CRET" "$QB_WIZARD_CLASS"
sleep 0.3
expect_eq "$(next_state)" 0 "the password is case-sensitive"
qb_drive type "$T" "s3cret" "$QB_WIZARD_CLASS"
sleep 0.3
qb_drive click "$T" "< Back" "$QB_WIZARD_CLASS"
sleep 0.3
qb_drive click "$T" "Next >" "$QB_WIZARD_CLASS"
sleep 0.3
expect_eq "$(next_state)" 1 "back on the password page, the typed password still counts"
# On to the end.
for _ in $(seq 16); do
  sleep 0.5
  dump=$(qb_drive dump "$T" "$QB_WIZARD_CLASS" | tr -d '\r')
  if grep -q '^control|Button|102|&Finish|' <<<"$dump"; then
    qb_drive click "$T" Finish "$QB_WIZARD_CLASS"
    break
  fi
  label=$(echo "$dump" | grep '^control|Button|102|' | cut -d'|' -f4 | tr -d '&')
  qb_drive click "$T" "$label" "$QB_WIZARD_CLASS"
done
wait $pid
expect_eq "$(cat "$QB_TMP/code")" 0 "the installation with a password completes"
expect_same_file "$m/app/p.txt" "$WINEPREFIX/drive_c/Protected/p.txt" "its file is installed"
