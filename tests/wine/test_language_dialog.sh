#!/usr/bin/env bash
# With two languages and no /L=, the language dialog asks first: Cancel ends
# the installer (exit code 2, working folder removed); OK with the second
# language shows the wizard in that language.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "x" >"$m/app/x.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Lang Test"
version = "1"
title = "Lang Test"
[[files]]
source = "app/x.txt"
[[languages]]
name = "English"
id = 1033
[[languages]]
name = "Deutsch"
id = 1031
[languages.messages]
welcome_title = "Willkommen beim Lang Test"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
DIALOG=TQuillboxSelectLang

wine "$QB_TMP/setup.exe" &
pid=$!
qb_drive wait "Lang Test" 30000 $DIALOG || fail "no language dialog"
qb_wait_controls "Lang Test" $DIALOG 10 'control|Static|0|Please select a language.|' \
  'control|ComboBox|201|English|' >/dev/null || fail "no prompt, or English not preselected"
echo "ok: the dialog asks, English preselected"
qb_drive click "Lang Test" Cancel $DIALOG
qb_wait_exit $pid
expect_eq "$QB_RC" 2 "Cancel ends the installer"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"
echo "ok: working folder removed"

wine "$QB_TMP/setup.exe" &
pid=$!
qb_drive wait "Lang Test" 30000 $DIALOG || fail "no language dialog"
qb_drive select "Lang Test" 1 $DIALOG
qb_drive click "Lang Test" OK $DIALOG
qb_drive wait "Lang Test" 30000 "$QB_WIZARD_CLASS" || fail "no wizard after OK"
qb_wait_controls "Lang Test" "$QB_WIZARD_CLASS" 20 '|Willkommen beim Lang Test|' >/dev/null ||
  fail "the wizard is not in the chosen language"
echo "ok: the wizard speaks the chosen language"
qb_cancel_installer "Lang Test"
qb_wait_exit $pid
expect_eq "$QB_RC" 2 "cancelled from the wizard"
