#!/usr/bin/env bash
# "test" as the first parameter starts ..\quillbox.exe and creates no folder;
# "TEST" is not test mode.
source "$(dirname "$0")/lib.sh"
qb_begin

mkdir -p "$QB_TMP/work/app"
cp "$QB_STUB" "$QB_TMP/work/app/setup.exe"
cp "$QB_WIN/tests/win/qbmarker.exe" "$QB_TMP/work/quillbox.exe"
rc=0
(cd "$QB_TMP/work/app" && wine setup.exe test) || rc=$?
expect_eq "$rc" 0 "test mode exit code"
wineserver -w
[ -e "$QB_TMP/work/quillbox.exe.ran" ] || fail "..\\quillbox.exe was not started"
echo "ok: ..\\quillbox.exe started"
[ ! -e "$QB_WORK" ] || fail "test mode created the working folder"
echo "ok: no working folder"

rm -f "$QB_TMP/work/quillbox.exe.ran"
(cd "$QB_TMP/work/app" && wine setup.exe TEST) &
pid=$!
qb_drive wait Error 30000 '#32770' || fail "TEST was taken for test mode"
qb_drive click Error OK '#32770'
qb_wait_exit $pid
  expect_eq "$QB_RC" 1 "TEST reads the (missing) package"
[ ! -e "$QB_TMP/work/quillbox.exe.ran" ] || fail "TEST started the authoring tool"
