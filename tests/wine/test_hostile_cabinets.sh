#!/usr/bin/env bash
# Installers whose cabinets carry hostile names install the safe files and
# create or delete nothing outside the destination and the working folder:
# headers that name the next cabinet "..\..\something", entries named after
# devices, with trailing dots or blanks, streams, "a/b" and absolute paths,
# and file-list destinations that climb out of their folder.
source "$(dirname "$0")/lib.sh"
qb_begin

QBCAB="$QB_NATIVE/tests/qbcab"
USER_DIR=$(qb_user_dir)

# 1. A set over volumes, built by the tool, whose headers are then made to
#    name "..\..\ev_N" instead of "temp_N.tmp" (same length, so nothing else
#    moves). Relative to the working folder that is the user's folder, where
#    files of the same names lie and must stay as they are.
m=$QB_TMP/m
mkdir -p "$m/app/sub" "$QB_TMP/dist"
head -c 300000 /dev/urandom >"$m/app/big.bin"
for i in 1 2 3; do head -c 20000 /dev/urandom >"$m/app/sub/small$i.bin"; done
cat >"$m/m.toml" <<'TOML'
[app]
name = "Hostile Test"
version = "1"
title = "Hostile Test"
destination = "C:\\HostileTest"
[package]
cabinet_size = 50000
volume_size = 65536
volume_pattern = "ht-{volume}.part"
[[files]]
source = "app/**"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/dist/setup.exe" >/dev/null
for f in "$QB_TMP"/dist/*; do
  perl -0777 -pi -e 's/temp_(\d+)\.tmp/..\\..\\ev_$1/g' "$f"
done
grep -qa 'ev_3' "$QB_TMP/dist/setup.exe" "$QB_TMP"/dist/ht-*.part || fail "headers not rewritten"
for n in 1 2 3 4 5 6 7 8; do echo "precious $n" >"$USER_DIR/ev_$n"; done
rc=0
wine "$QB_TMP/dist/setup.exe" /S || rc=$?
expect_eq "$rc" 0 "exit code"
expect_same_file "$m/app/big.bin" "$WINEPREFIX/drive_c/HostileTest/big.bin" "big.bin over the set"
for i in 1 2 3; do
  expect_same_file "$m/app/sub/small$i.bin" "$WINEPREFIX/drive_c/HostileTest/sub/small$i.bin" \
    "small$i.bin over the set"
done
for n in 1 2 3 4 5 6 7 8; do
  expect_eq "$(cat "$USER_DIR/ev_$n")" "precious $n" "the file header $n names is untouched"
done
expect_eq "$(find "$WINEPREFIX/drive_c" -name 'ev_*' | wc -l)" 8 "no file made by a header's name"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"

# 2. Entries with hostile names next to numbered ones, and file records
#    whose destinations leave their folder or name a device.
src=$QB_TMP/src
mkdir -p "$src" "$QB_TMP/cab"
for n in 0 1 2 3 4; do echo "file $n" >"$src/$n"; done
echo "not for writing" >"$src/evil"
"$QBCAB" "$QB_TMP/cab" 0 0="$src/0" 1="$src/1" 2="$src/2" 3="$src/3" 4="$src/4" \
  'CON'="$src/evil" 'a.'="$src/evil" 'a '="$src/evil" '0:stream'="$src/evil" \
  'sub/0'="$src/evil" 'C:\evil.txt'="$src/evil" '\evil2.txt'="$src/evil" \
  '..\..\evil3.txt'="$src/evil" >/dev/null
tail -c +5 "$QB_TMP/cab/temp_0.tmp" >"$QB_TMP/files.bin"
size=$(stat -c %s "$QB_TMP/files.bin")
"$QB_PACK" "$QB_STUB" "$QB_TMP/entries.exe" --files "$QB_TMP/files.bin" \
  --set 95="$size" --set 117=0 --set 118="$size" --set 48=5 --set 67=5 \
  --set '58=C:\Entries' --set '65=Entries Test' \
  --record '5=@$&%04\good.txt|2|1' \
  --record '5=@$&%04\..\..\escape.txt|2|1' \
  --record '5=@$&%04\sub/inner.txt|2|1' \
  --record '5=@$&%04\NUL.txt|2|1' \
  --record '5=@$&%04\stream.txt:hidden|2|1' \
  --set 93=3 \
  --record "6=@\$&%04\\$(printf 'deep%.0s\\' $(seq 80))|1" \
  --record '6=@$&%04\..\climbed\|1' \
  --record '6=@$&%04\made\|1' \
  --set 24=2 \
  --record '8=@$&%04\..\climbed.ini|s|k|v|1|1' \
  --record '8=@$&%04\app.ini|s|k|v|1|1'
# Unattended, the first destination that cannot be installed ends the run.
rc=0
wine "$QB_TMP/entries.exe" /S /NP '/LOG=C:\entries-np.log' || rc=$?
expect_eq "$rc" 3 "exit code of an unattended run"
grep -qF 'file cannot be created (not a safe full path): C:\Entries\..\..\escape.txt' \
  "$WINEPREFIX/drive_c/entries-np.log" || fail "the log does not name the file"
[ -z "$(find "$WINEPREFIX" -name 'escape.txt' -o -name 'evil*')" ] || fail "a hostile name was written"
wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /f >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX/drive_c/Entries"

# With someone at the screen, each such destination is reported like any
# file that cannot be written, and OK skips it.
wine "$QB_TMP/entries.exe" /S '/LOG=C:\entries.log' &
pid=$!
box_names() {
  text=$(qb_drive text "Entries Test" '#32770' 2>/dev/null | tr -d '\r' | tr '\n' '|') || true
  case "$text" in *"$1|"*) return 0 ;; esac
  return 1
}
for path in 'C:\Entries\..\..\escape.txt' 'C:\Entries\NUL.txt' 'C:\Entries\stream.txt:hidden'; do
  # Each message is a new window: wait for the one that names this path.
  text=
  qb_wait_until 30 box_names "$path" || true
  # The raw package's messages 95 and 96 are placeholders around the path.
  expect_eq "$text" "Message 95 of language 0$path|Message 96 of language 0|" \
    "the unsafe destination $path is reported"
  qb_drive click "Entries Test" OK '#32770'
done
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "exit code after skipping them"
log=$(cat "$WINEPREFIX/drive_c/entries.log")
for want in 'file cannot be created (not a safe full path): C:\Entries\..\..\escape.txt' \
  'file cannot be created (not a safe full path): C:\Entries\NUL.txt' \
  'file C:\Entries\sub\0 skipped: no file record of that number' \
  'folder skipped (not a safe full path): C:\Entries\..\climbed\'; do
  grep -qF "$want" <<<"$log" || fail "the log lacks: $want"
done
echo "ok: the log names every record passed over and why"
C=$WINEPREFIX/drive_c
expect_same_file "$src/0" "$C/Entries/good.txt" "a safe record"
expect_same_file "$src/2" "$C/Entries/sub/inner.txt" "a destination with / makes its folder"
expect_eq "$(cd "$C/Entries" && find . | sort | tr '\n' ' ')" \
  ". ./app.ini ./good.txt ./made ./sub ./sub/inner.txt " \
  "nothing else in the destination: no folder beyond the path limit"
[ ! -e "$C/climbed" ] && [ ! -e "$C/climbed.ini" ] || fail "a folder or INI file climbed out"
echo "ok: folders and INI files that climb out are passed over"
[ -z "$(find "$WINEPREFIX" -name 'escape.txt' -o -name 'evil*' -o -name 'stream.txt*')" ] ||
  fail "a hostile name was written: $(find "$WINEPREFIX" -name 'escape.txt' -o -name 'evil*')"
echo "ok: no hostile name written"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"
echo "ok: working folder removed"
