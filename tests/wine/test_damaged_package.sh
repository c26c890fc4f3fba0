#!/usr/bin/env bash
# A stub without a package, and packages damaged in ways the trailer or the
# counts give away, show the fixed message, remove the working folder before
# it and end with exit code 1.
source "$(dirname "$0")/lib.sh"
qb_begin

check_damaged() {
  local exe=$1 what=$2
  wine "$exe" &
  local pid=$!
  qb_drive wait Error 30000 '#32770' || fail "$what: no error box"
  expect_eq "$(qb_drive text Error '#32770' | tr -d '\r')" \
    "The setup files are corrupted. Please obtain a new copy of the program." "$what: box text"
  [ ! -e "$QB_WORK" ] || fail "$what: working folder still there while the box shows"
  qb_drive click Error OK '#32770'
  qb_wait_exit $pid
  expect_eq "$QB_RC" 1 "$what: exit code"
  [ ! -e "$QB_WORK" ] || fail "$what: working folder left behind"
}

cp "$QB_STUB" "$QB_TMP/bare.exe"
check_damaged "$QB_TMP/bare.exe" "bare stub"

# Fewer than 119 settings: trailer byte 32 patched from 118 to 100.
"$QB_PACK" "$QB_STUB" "$QB_TMP/short.exe"
size=$(stat -c %s "$QB_TMP/short.exe")
printf '\x64' | dd of="$QB_TMP/short.exe" bs=1 seek=$((size - 2)) conv=notrunc status=none
check_damaged "$QB_TMP/short.exe" "too few settings"

# A negative record count.
"$QB_PACK" "$QB_STUB" "$QB_TMP/negative.exe" --claim 93=-1
check_damaged "$QB_TMP/negative.exe" "negative count"

# A count that promises more strings than the file holds bytes.
"$QB_PACK" "$QB_STUB" "$QB_TMP/huge.exe" --claim 57=900000000
check_damaged "$QB_TMP/huge.exe" "impossible language table"

# Unattended (/S /NP), a damaged package ends with exit code 1 at once: no
# box waits for anyone, even before the options are read from the package.
head -c $(($(stat -c %s "$QB_TMP/short.exe") - 1000)) "$QB_TMP/short.exe" >"$QB_TMP/cut.exe"
for exe in bare cut; do
  [ -e "$QB_TMP/$exe.exe" ] || cp "$QB_STUB" "$QB_TMP/$exe.exe"
  wine "$QB_TMP/$exe.exe" /S /NP '/LOG=C:\damaged.log' &
  pid=$!
  # The log's last line is written just before the program ends.
  qb_wait_exit $pid 60
  expect_eq "$QB_RC" 1 "$exe installer with /S /NP: exit code"
  grep -q "answered OK (unattended, not shown)" "$WINEPREFIX/drive_c/damaged.log" ||
    fail "$exe: the message was not answered unattended: $(cat "$WINEPREFIX/drive_c/damaged.log")"
  [ ! -e "$QB_WORK" ] || fail "$exe: working folder left behind"
done
