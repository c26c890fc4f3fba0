#!/usr/bin/env bash
# A silent run of a package that still wants a password ends at once with
# exit code 6 and no window; the right /PW= lets it through.
source "$(dirname "$0")/lib.sh"
qb_begin

# "2X<" is the stored form of the password abc.
"$QB_PACK" "$QB_STUB" "$QB_TMP/setup.exe" --set '29=2X<'
for args in "/S" "/S /PW=abd" "/PW=ABC /S"; do
  rc=0
  wine "$QB_TMP/setup.exe" $args || rc=$?
  expect_eq "$rc" 6 "exit code with $args"
  [ ! -e "$QB_WORK" ] || fail "working folder left with $args"
done
rc=0
wine "$QB_TMP/setup.exe" /s /pw=abc || rc=$?
expect_eq "$rc" 0 "exit code with the right password"

# Setting 110 makes a package silent by itself.
"$QB_PACK" "$QB_STUB" "$QB_TMP/silent.exe" --set '29=2X<' --set 110=1
rc=0
wine "$QB_TMP/silent.exe" || rc=$?
expect_eq "$rc" 6 "silent by default"
