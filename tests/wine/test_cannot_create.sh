#!/usr/bin/env bash
# A destination that cannot be created shows message 95, the path and
# message 96: OK skips the file and goes on, Cancel abandons the installation
# with message 59 and exit code 3.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
for f in a b c; do echo "$f" >"$m/app/$f.txt"; done
cat >"$m/m.toml" <<'TOML'
[app]
name = "Create Test"
version = "1"
title = "Create Test"
destination = "C:\\CT"
[[files]]
source = "app/**"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
CT=$WINEPREFIX/drive_c/CT

# A folder where b.txt should go cannot become a file.
mkdir -p "$CT/b.txt"
wine "$QB_TMP/setup.exe" /S &
pid=$!
qb_drive wait "Create Test" 30000 '#32770' || fail "no cannot-create message"
expect_eq "$(qb_drive text "Create Test" '#32770' | tr -d '\r' | tr '\n' '|' | sed 's/|$//')" \
  'Setup cannot write this file:|C:\CT\b.txt|Click OK to skip it, or Cancel to stop Setup.' \
  "message 95, the path and message 96"
qb_drive click "Create Test" OK '#32770'
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "OK skips the file"
expect_same_file "$m/app/a.txt" "$CT/a.txt" "the file before"
expect_same_file "$m/app/c.txt" "$CT/c.txt" "the file after"
[ -d "$CT/b.txt" ] || fail "the folder was replaced"

rm -rf "$CT"
mkdir -p "$CT/b.txt"
wine "$QB_TMP/setup.exe" /S &
pid=$!
qb_drive wait "Create Test" 30000 '#32770' || fail "no cannot-create message"
question=$(qb_handle "Create Test" '#32770')
qb_drive click "Create Test" Cancel '#32770'
# The message that Setup stopped is a box of the same title: first the
# question goes.
qb_wait_gone "$question" || fail "Cancel did not close the question"
qb_drive wait "Create Test" 20000 '#32770' || fail "no abandon message"
expect_eq "$(qb_drive text "Create Test" '#32770' | tr -d '\r')" \
  "Setup could not finish and has stopped. Files that were already installed stay in place." "message 59"
qb_drive click "Create Test" OK '#32770'
qb_wait_exit $pid
expect_eq "$QB_RC" 3 "Cancel abandons"
expect_same_file "$m/app/a.txt" "$CT/a.txt" "what was installed stays"
[ ! -e "$CT/c.txt" ] || fail "a file after the abandonment was installed"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"
echo "ok: working folder removed"
