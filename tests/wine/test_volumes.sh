#!/usr/bin/env bash
# A package spread over volumes installs; with volume 2 missing the installer
# asks for it, and Cancel ends with message 59, exit code 3 and the working
# folder removed.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app" "$QB_TMP/dist"
head -c 300000 /dev/urandom >"$m/app/big.bin"
for i in 1 2 3; do head -c 20000 /dev/urandom >"$m/app/small$i.bin"; done
cat >"$m/m.toml" <<'TOML'
[app]
name = "Volume Test"
version = "1"
title = "Volume Test"
destination = "C:\\VolumeTest"
[package]
cabinet_size = 50000
volume_size = 65536
volume_pattern = "vt-{volume}.part"
[[files]]
source = "app/**"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/dist/setup.exe" >"$QB_TMP/build.txt"
ls "$QB_TMP/dist/vt-2.part" "$QB_TMP/dist/vt-5.part" >/dev/null || fail "volumes not written: $(cat "$QB_TMP/build.txt")"
echo "ok: $(ls "$QB_TMP/dist" | wc -l) files: the installer and its volumes"

rc=0
wine "$QB_TMP/dist/setup.exe" /S || rc=$?
expect_eq "$rc" 0 "exit code over all volumes"
for f in big.bin small1.bin small2.bin small3.bin; do
  expect_same_file "$m/app/$f" "$WINEPREFIX/drive_c/VolumeTest/$f" "$f over volumes"
done
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"

# Volume 2 missing: the installer asks for it.
rm -rf "$WINEPREFIX/drive_c/VolumeTest"
mv "$QB_TMP/dist/vt-2.part" "$QB_TMP/vt-2.part"
wine "$QB_TMP/dist/setup.exe" /S &
pid=$!
qb_drive wait "Volume Test" 30000 '#32770' || fail "no request for the volume"
text=$(qb_drive text "Volume Test" '#32770' | tr -d '\r')
expect_eq "$text" "Setup needs the next part of the installation. Please make this file available and click OK: volume 2" \
  "message 47 with the volume number"
question=$(qb_handle "Volume Test" '#32770')
qb_drive click "Volume Test" Cancel '#32770'
# The message that Setup stopped is a box of the same title: first the
# question goes.
qb_wait_gone "$question" || fail "Cancel did not close the question"
qb_drive wait "Volume Test" 20000 '#32770' || fail "no abandon message"
expect_eq "$(qb_drive text "Volume Test" '#32770' | tr -d '\r')" \
  "Setup could not finish and has stopped. Files that were already installed stay in place." "message 59"
qb_drive click "Volume Test" OK '#32770'
qb_wait_exit $pid
expect_eq "$QB_RC" 3 "exit code after Cancel"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"
echo "ok: working folder removed"

# Asked again, the volume appears and OK goes on.
wine "$QB_TMP/dist/setup.exe" /S &
pid=$!
qb_drive wait "Volume Test" 30000 '#32770' || fail "no request for the volume"
mv "$QB_TMP/vt-2.part" "$QB_TMP/dist/vt-2.part"
qb_drive click "Volume Test" OK '#32770'
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "exit code after the volume came back"
expect_same_file "$m/app/big.bin" "$WINEPREFIX/drive_c/VolumeTest/big.bin" "big.bin after the volume came back"
