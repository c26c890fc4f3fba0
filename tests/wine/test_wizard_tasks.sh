#!/usr/bin/env bash
# A visible run through the pages: clearing the desktop task on the Tasks
# page leaves that shortcut out, the other one is made, and the progress bar
# still ends full (a record passed over counts its step).
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "program" >"$m/app/prog.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Tasks Test"
version = "1"
title = "Tasks Test"
destination = "C:\\Tasks"
# No uninstaller: the progress bar is to count the file and the shortcuts.
[uninstall]
enabled = false
[[files]]
source = "app/prog.txt"
[[shortcuts]]
location = "desktop"
name = "Tasks Desktop"
target = "{app}\\prog.txt"
[[shortcuts]]
location = "startmenu"
name = "Tasks Start"
target = "{app}\\prog.txt"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
T="Tasks Test"

# On the Tasks page the desktop task is cleared; on the Finish page the bar
# is read.
cleared=0
on_page() {
  if [ $cleared -eq 0 ] && grep -q '|Create a desktop shortcut|visible=1|enabled=1|checked=1' <<<"$QB_PAGE"; then
    qb_drive toggle "$T" "Create a desktop shortcut" "$QB_WIZARD_CLASS" || fail "no desktop task box"
    qb_wait_controls "$T" "$QB_WIZARD_CLASS" 10 '|Create a desktop shortcut|visible=1|enabled=1|checked=0' \
      >/dev/null || fail "the desktop task did not clear"
    cleared=1
    echo "ok: desktop task cleared on the Tasks page"
  fi
  if grep -q '^control|Button|102|&Finish|' <<<"$QB_PAGE"; then
    local bar position maximum
    bar=$(grep '^control|msctls_progress32|' <<<"$QB_PAGE")
    position=$(sed -E 's/.*position=([0-9]+).*/\1/' <<<"$bar")
    maximum=$(sed -E 's/.*maximum=([0-9]+).*/\1/' <<<"$bar")
    expect_eq "$position" "$maximum" "the progress bar ended full ($position of $maximum)"
    expect_eq "$maximum" 3 "one file and two shortcut records"
  fi
}
wine "$QB_TMP/setup.exe" &
pid=$!
qb_drive wait "$T" 30000 "$QB_WIZARD_CLASS" || fail "no wizard"
qb_walk_wizard "$T" on_page
[ $cleared -eq 1 ] || fail "never saw the Tasks page"
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "Finish ends the installer"
user=$(qb_user_dir)
C=$WINEPREFIX/drive_c
[ -z "$(find "$user" "$C/users/Public" "$C/ProgramData" -name 'Tasks Desktop.lnk')" ] || fail "the cleared desktop shortcut was made"
[ -n "$(find "$C/ProgramData" -name 'Tasks Start.lnk')" ] || fail "the Start menu shortcut is missing"
echo "ok: only the chosen shortcut was made"
