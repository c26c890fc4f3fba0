#!/usr/bin/env bash
# An installer built by the authoring tool unpacks its support files
# (pictures, license and readme as RTF) into the working folder at startup.
source "$(dirname "$0")/lib.sh"
qb_begin

mkdir -p "$QB_TMP/m/app"
echo "program" >"$QB_TMP/m/app/prog.txt"
printf 'Line one\nLine {two}\n' >"$QB_TMP/m/license.txt"
printf '{\\rtf1 already rich}' >"$QB_TMP/m/readme.rtf"
cp "$QB_SOURCE/examples/tally/pictures/header.bmp" "$QB_TMP/m/"
cat >"$QB_TMP/m/m.toml" <<'TOML'
[app]
name = "Support Test"
version = "1"
title = "Support Test"
license = "license.txt"
readme = "readme.rtf"
[pictures]
header = "header.bmp"
[[files]]
source = "app/**"
TOML
qb_tool build "$QB_TMP/m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null

wine "$QB_TMP/setup.exe" &
pid=$!
qb_drive wait "Support Test" 30000 || fail "no installer window"
# The window shows before the support cabinet is unpacked; 16.tmp comes last.
qb_wait_file "$QB_WORK/16.tmp" || fail "support files not unpacked"
# The wizard shows once the start-up is done: every support file is complete.
qb_wait_wizard "Support Test" >/dev/null || fail "no wizard"
expect_same_file "$QB_TMP/m/header.bmp" "$QB_WORK/4.tmp" "header picture as support file 4"
expect_eq "$(cat "$QB_WORK/15.tmp")" \
  "$(printf '{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Tahoma;}}\\f0\\fs16 Line one\\par\nLine \\{two\\}\\par\n}')" \
  "plain license wrapped into RTF as support file 15"
expect_same_file "$QB_TMP/m/readme.rtf" "$QB_WORK/16.tmp" "RTF readme kept as it is"
qb_cancel_installer "Support Test"
qb_wait_exit $pid
expect_eq "$QB_RC" 2 "closed by the user"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls "$QB_WORK")"
echo "ok: working folder removed"
