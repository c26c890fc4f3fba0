#!/usr/bin/env bash
# Cancel during the installation run: No keeps the wizard and the run goes
# on; Yes ends the installer with exit code 2 and removes the working
# folder, and nothing already placed is removed.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "early" >"$m/app/early.txt"
probe=$(qb_win "$QB_WIN/tests/win/qbprobe.exe")
markers=$(qb_win "$QB_TMP")
cat >"$m/m.toml" <<TOML
[app]
name = "Cancel Test"
version = "1"
title = "Cancel Test"
destination = "C:\\\\CancelTest"
[uninstall]
enabled = false
[settings]
welcome_page = false
ready_page = false
[[files]]
source = "app/early.txt"
# A program at the end that takes its time: the run is still going on when
# Cancel is pressed.
[[programs]]
file = "${probe//\\/\\\\}"
parameters = "${markers//\\/\\\\}\\\\probe.txt C:\\\\CancelTest\\\\early.txt 15000"
when = "install-end"
wait = true
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
T="Cancel Test"
qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" >"$QB_TMP/code" &
pid=$!
page=$(qb_wait_wizard "$T") || fail "no wizard"
# The destination page comes first; its Next (Install) starts the run.
label=$(grep '^control|Button|102|' <<<"$page" | cut -d'|' -f4 | tr -d '&')
qb_turn_page "$T" "$label" || fail "the run did not start"
qb_wait_file "$WINEPREFIX/drive_c/CancelTest/early.txt" 30 || fail "the run did not place its file"
# The run's last stage: it waits for the program.
qb_wait_controls "$T" "$QB_WIZARD_CLASS" 30 '|Running programs...|visible=1' >/dev/null ||
  fail "the run did not come to its programs"
qb_drive close "$T" "$QB_WIZARD_CLASS"
qb_drive wait "$T" 10000 '#32770' || fail "no question on Cancel"
question=$(qb_handle "$T" '#32770')
qb_drive click "$T" No '#32770'
qb_wait_gone "$question" || fail "No did not close the question"
# Closing again brings the question back: the wizard has handled the first
# answer, and had No ended the installer, it would be gone by now.
qb_drive close "$T" "$QB_WIZARD_CLASS" || fail "No did not keep the wizard"
qb_drive wait "$T" 10000 '#32770' || fail "no question on the second Cancel"
qb_drive wait "$T" 0 "$QB_WIZARD_CLASS" || fail "No did not keep the wizard"
[ -d "$QB_WORK" ] || fail "No removed the working folder"
echo "ok: No keeps the wizard and its working folder"
qb_drive click "$T" Yes '#32770' || fail "no Yes to the question"
qb_wait_exit $pid
expect_eq "$(cat "$QB_TMP/code")" 2 "Yes during the run ends with exit code 2"
[ ! -e "$QB_WORK" ] || fail "the working folder is left"
[ -f "$WINEPREFIX/drive_c/CancelTest/early.txt" ] || fail "a placed file was removed"
echo "ok: the working folder is gone and the placed file stays"
