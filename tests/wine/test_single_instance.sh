#!/usr/bin/env bash
# A second installer while one runs restores the first one's window, ends
# with exit code 4 and leaves the first one's working folder alone.
source "$(dirname "$0")/lib.sh"
qb_begin

title="Single Instance Test"
# The support cabinet: a real cabinet (a damaged one is a damaged package)
# holding one file that is not a support file, which the installer passes over.
head -c 5000 /dev/urandom >"$QB_TMP/payload.bin"
mkdir -p "$QB_TMP/sc"
"$QB_NATIVE/tests/qbcab" "$QB_TMP/sc" 0 extra="$QB_TMP/payload.bin" >/dev/null
cp "$QB_TMP/sc/temp_0.tmp" "$QB_TMP/support.bin"
# A Welcome page keeps the first installer waiting for the user.
"$QB_PACK" "$QB_STUB" "$QB_TMP/setup.exe" --set "65=$title" --set 111=1 --support "$QB_TMP/support.bin"

wine "$QB_TMP/setup.exe" &
first=$!
qb_drive wait "$title" 30000 || fail "first installer shows no window"
# The window shows before the support cabinet is copied.
qb_wait_file "$QB_WORK/2.tmp" || fail "first installer wrote no support cabinet copy"
# The wizard shows once the start-up is done: the copy is complete then.
qb_wait_wizard "$title" >/dev/null || fail "first installer shows no wizard"
before=$(md5sum <"$QB_WORK/2.tmp")
qb_drive minimize "$title" "$QB_WIZARD_CLASS"
state_is() { [ "$(qb_drive state "$title" "$QB_WIZARD_CLASS" | tr -d '\r' | cut -d' ' -f"$1")" = "$2" ]; }
qb_wait_until 10 state_is 2 iconic=1 || fail "the first installer's wizard did not minimise"
expect_eq "$(qb_drive state "$title" "$QB_WIZARD_CLASS" | tr -d '\r' | cut -d' ' -f1-2)" "visible=1 iconic=1" "first minimised"

rc=0
wine "$QB_TMP/setup.exe" || rc=$?
expect_eq "$rc" 4 "second instance exit code"
qb_wait_until 10 state_is 2 iconic=0 || fail "the second instance did not restore the first one's wizard"
expect_eq "$(qb_drive state "$title" "$QB_WIZARD_CLASS" | tr -d '\r' | cut -d' ' -f2)" "iconic=0" "first restored"
[ -e "$QB_WORK/2.tmp" ] || fail "second instance removed the first one's support files"
expect_eq "$(md5sum <"$QB_WORK/2.tmp")" "$before" "support file untouched"

qb_cancel_installer "$title"
qb_wait_exit $first
  expect_eq "$QB_RC" 2 "first installer closed by the user"
[ ! -e "$QB_WORK" ] || fail "working folder left after the first installer ended"
