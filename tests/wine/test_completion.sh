#!/usr/bin/env bash
# The completion step after Finish: the installed program starts when "run"
# is ticked and not when it is cleared, the readme opens through the shell,
# and a restart the package needs but the user puts off ends with 3010.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
cp "$QB_WIN/tests/win/qbmarker.exe" "$m/app/app.exe"
cp "$QB_WIN/tests/win/qbmarker.exe" "$m/app/readme.exe"
manifest() {  # manifest NAME RESTART
  cat >"$m/$1.toml" <<TOML
[app]
name = "Finish Test"
version = "1"
title = "Finish Test"
destination = "C:\\\\Finish$1"
[settings]
program_to_run = "{app}\\\\app.exe"
readme_document = "{app}\\\\readme.exe"
readme_checked = true
restart_required = $2
[[files]]
source = "app/**"
TOML
  qb_tool build "$m/$1.toml" -o "$QB_TMP/$1.exe" >/dev/null
}
T="Finish Test"

# Walks the pages with Next; on the Finish page calls the function given,
# then presses Finish.
walk() {
  ON_FINISH=$1
  qb_walk_wizard "$T" on_finish_page
}
on_finish_page() {
  if grep -q '^control|Button|102|&Finish|' <<<"$QB_PAGE"; then $ON_FINISH; fi
}

# 1. Run cleared, readme ticked, restart later.
manifest later true
put_off() {
  qb_drive toggle "$T" "Run Finish Test now" "$QB_WIZARD_CLASS" || fail "no run box"
  qb_drive toggle "$T" "I will restart later" "$QB_WIZARD_CLASS" || fail "no restart-later button"
  qb_wait_controls "$T" "$QB_WIZARD_CLASS" 10 '|Run Finish Test now|visible=1|enabled=1|checked=0' >/dev/null ||
    fail "the run box did not clear"
  qb_wait_controls "$T" "$QB_WIZARD_CLASS" 10 '|I will restart &later|visible=1|enabled=1|checked=1' >/dev/null ||
    fail "restart later is not selected"
}
qb_exit_code "$(qb_win "$QB_TMP/later.exe")" >"$QB_TMP/later.code" &
pid=$!
qb_drive wait "$T" 30000 "$QB_WIZARD_CLASS" || fail "no wizard"
walk put_off
qb_wait_exit $pid
expect_eq "$(cat "$QB_TMP/later.code")" 3010 "a restart put off: exit code"
wineserver -w
C=$WINEPREFIX/drive_c
[ ! -e "$C/Finishlater/app.exe.ran" ] || fail "the program started although its box was cleared"
echo "ok: a cleared run box starts nothing"
qb_wait_file "$C/Finishlater/readme.exe.ran" 20 || fail "the readme was not opened"
echo "ok: the readme opened through the shell"

# 2. Run ticked (its initial state), no restart needed.
manifest now false
nothing() { :; }
wine "$QB_TMP/now.exe" &
pid=$!
qb_drive wait "$T" 30000 "$QB_WIZARD_CLASS" || fail "no wizard"
walk nothing
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "no restart needed: exit code"
qb_wait_file "$C/Finishnow/app.exe.ran" 20 || fail "the ticked program did not start"
echo "ok: the ticked program started"

# 3. Silent: nothing of the Finish page happens; the needed restart gives 3010.
rm -rf "$C/Finishlater"
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/later.exe")" /S)" 3010 "silent, restart needed: exit code"
wineserver -w
[ ! -e "$C/Finishlater/app.exe.ran" ] && [ ! -e "$C/Finishlater/readme.exe.ran" ] ||
  fail "a finish action ran in silent mode"
echo "ok: no finish action in silent mode"
