#!/usr/bin/env bash
# Command-line options with real packages: /PW= right and wrong with /S,
# /L= choosing a language by substring, setting 110 (silent by default), /G=
# naming the program group of a silent run, and /NC keeping Cancel disabled
# through a visible run.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "payload" >"$m/app/payload.txt"
cat >"$m/pw.toml" <<'TOML'
[app]
name = "Options Test"
version = "1"
destination = "C:\\Opt"
password = "abc"
[[files]]
source = "app/payload.txt"
destination = "{app}\\{language}"
[[languages]]
name = "English"
id = 1033
[[languages]]
name = "Deutsch"
id = 1031
[languages.messages]
welcome_title = "Willkommen"
TOML
qb_tool build "$m/pw.toml" -o "$QB_TMP/pw.exe" >/dev/null
C=$WINEPREFIX/drive_c

for args in "/S" "/S /PW=abd" "/S /PW=ABC"; do
  rc=0
  wine "$QB_TMP/pw.exe" $args || rc=$?
  expect_eq "$rc" 6 "exit code with $args"
  [ ! -e "$C/Opt" ] || fail "$args installed something"
done
rc=0
wine "$QB_TMP/pw.exe" /S /PW=abc /L=eutsc || rc=$?
expect_eq "$rc" 0 "right password, /L=eutsc"
expect_same_file "$m/app/payload.txt" "$C/Opt/Deutsch/payload.txt" "/L= chose Deutsch by substring"
rc=0
wine "$QB_TMP/pw.exe" /L=ENG /s /pw=abc || rc=$?
expect_eq "$rc" 0 "options in any order and case"
expect_same_file "$m/app/payload.txt" "$C/Opt/English/payload.txt" "/L=ENG chose English"

# Setting 110: silent without /S.
cat >"$m/quiet.toml" <<'TOML'
[app]
name = "Quiet Test"
version = "1"
destination = "C:\\Quiet"
[settings]
silent_by_default = true
[[files]]
source = "app/payload.txt"
TOML
qb_tool build "$m/quiet.toml" -o "$QB_TMP/quiet.exe" >/dev/null
rc=0
wine "$QB_TMP/quiet.exe" || rc=$?
expect_eq "$rc" 0 "silent by default"
expect_same_file "$m/app/payload.txt" "$C/Quiet/payload.txt" "installed without /S"

# /G=: the program group of a silent run. Nobody unticks a task there, so
# the desktop and Start menu shortcuts are made too.
cat >"$m/group.toml" <<'TOML'
[app]
name = "Group Test"
version = "1"
destination = "C:\\Grp"
group = "Package Group"
[[files]]
source = "app/payload.txt"
[[shortcuts]]
location = "group"
name = "Grp Payload"
target = "{app}\\payload.txt"
[[shortcuts]]
location = "desktop"
name = "Grp Desktop"
target = "{app}\\payload.txt"
[[shortcuts]]
location = "startmenu"
name = "Grp Start"
target = "{app}\\payload.txt"
TOML
qb_tool build "$m/group.toml" -o "$QB_TMP/group.exe" >/dev/null
rc=0
wine "$QB_TMP/group.exe" /S "/G=Chosen Group" || rc=$?
expect_eq "$rc" 0 "silent run with /G="
user=$(qb_user_dir)
[ -n "$(find "$C/ProgramData" -path '*Programs/Chosen Group/Grp Payload.lnk')" ] ||
  fail "no group shortcut in the group /G= named"
[ -z "$(find "$user" -path '*Package Group*')" ] || fail "the package's group was made despite /G="
for name in "Grp Desktop" "Grp Start"; do
  [ -n "$(find "$user" "$C/users/Public" "$C/ProgramData" -name "$name.lnk")" ] || fail "no $name shortcut"
done
echo "ok: /G= named the group; every task's shortcut was made"

# /NC: a visible run whose Cancel stays disabled on every page.
cat >"$m/nc.toml" <<'TOML'
[app]
name = "NoCancel Test"
version = "1"
title = "NoCancel Test"
destination = "C:\\NC"
[[files]]
source = "app/payload.txt"
TOML
qb_tool build "$m/nc.toml" -o "$QB_TMP/nc.exe" >/dev/null
wine "$QB_TMP/nc.exe" /NC &
pid=$!
qb_drive wait "NoCancel Test" 30000 "$QB_WIZARD_CLASS" || fail "no wizard"
pages=0
cancel_disabled() {
  grep -q '^control|Button|103|Cancel|visible=1|enabled=0' <<<"$QB_PAGE" || fail "Cancel enabled: $QB_PAGE"
  pages=$((pages + 1))
}
qb_walk_wizard "NoCancel Test" cancel_disabled
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "visible run with /NC ends after Finish"
expect_same_file "$m/app/payload.txt" "$C/NC/payload.txt" "installed through the visible pages"
echo "ok: Cancel disabled on all $pages pages"
