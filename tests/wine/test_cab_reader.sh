#!/usr/bin/env bash
# TCab, the stub's cabinet reader over cabinet.dll, under Wine: single
# cabinets and sets from our writer and from gcab, files spanning cabinets,
# times and attributes, unsafe names, and the create-error event.
source "$(dirname "$0")/lib.sh"
qb_begin

cabtest() { wine "$QB_WIN/tests/win/cabtest.exe" "$@" | tr -d '\r'; }
QBCAB="$QB_NATIVE/tests/qbcab"
src=$QB_TMP/src
mkdir -p "$src/sub"
echo "hello from a text file" >"$src/a.txt"
head -c 100000 /dev/urandom >"$src/sub/b.bin"
head -c 150000 /dev/urandom >"$src/big.bin"
seq 1 20000 >"$src/numbers.txt"
for i in 1 2 3 4 5; do head -c $((i * 3000)) /dev/urandom >"$src/c$i.bin"; done
echo "attributes" >"$src/attr.txt"

# 1. One cabinet from our writer: contents, subfolders, attributes, time.
mkdir -p "$QB_TMP/one"
"$QBCAB" "$QB_TMP/one" 0 a.txt="$src/a.txt" 'sub\b.bin'="$src/sub/b.bin" \
  attr.txt="$src/attr.txt,attr=67,date=58CF,time=6000" >/dev/null
cabtest extract "$(qb_win "$QB_TMP/one/temp_0.tmp")" "$(qb_win "$QB_TMP/out1")" >/dev/null
expect_same_file "$src/a.txt" "$QB_TMP/out1/a.txt" "single cabinet: a.txt"
expect_same_file "$src/sub/b.bin" "$QB_TMP/out1/sub/b.bin" "single cabinet: file in a subfolder"
expect_eq "$(cabtest stat "$(qb_win "$QB_TMP/out1/attr.txt")")" \
  "attr=27 written=2024-06-15 12:00:00 created=2024-06-15 12:00:00" \
  "attributes masked with 0x27 and noon in local time"
# Exactly the cabinet's attributes. Wine reports the archive bit on every
# regular file whatever is set (measured: SetFileAttributes(NORMAL) still
# reads 0x20), so only the other bits can be observed here: read-only alone
# stays read-only, nothing gives a plain file, hidden stays hidden.
mkdir -p "$QB_TMP/exact"
"$QBCAB" "$QB_TMP/exact" 0 ro.txt="$src/attr.txt,attr=1" none.txt="$src/attr.txt,attr=0" \
  hidden.txt="$src/attr.txt,attr=22" >/dev/null
cabtest extract "$(qb_win "$QB_TMP/exact/temp_0.tmp")" "$(qb_win "$QB_TMP/outx")" >/dev/null
expect_eq "$(cabtest stat "$(qb_win "$QB_TMP/outx/ro.txt")" | cut -d' ' -f1)" "attr=21" \
  "read-only (the archive bit as Wine reports it)"
expect_eq "$(cabtest stat "$(qb_win "$QB_TMP/outx/none.txt")" | cut -d' ' -f1)" "attr=20" \
  "no attributes: neither read-only nor hidden"
expect_eq "$(cabtest stat "$(qb_win "$QB_TMP/outx/hidden.txt")" | cut -d' ' -f1)" "attr=22" \
  "hidden"

# 2. A set from our writer, supplied one cabinet at a time the way the
#    installer does: a spanning file over three cabinets, then files that
#    begin in the last cabinet after the tail of the spanning one.
mkdir -p "$QB_TMP/set" "$QB_TMP/walk"
count=$("$QBCAB" "$QB_TMP/set" 60000 numbers.txt="$src/numbers.txt" big.bin="$src/big.bin" \
  c1.bin="$src/c1.bin" c2.bin="$src/c2.bin" c3.bin="$src/c3.bin" c4.bin="$src/c4.bin" \
  c5.bin="$src/c5.bin")
[ "$count" -ge 3 ] || fail "the set has only $count cabinets"
echo "ok: set of $count cabinets"
cp "$QB_TMP/set/temp_0.tmp" "$QB_TMP/walk/"
cabtest extract "$(qb_win "$QB_TMP/walk/temp_0.tmp")" "$(qb_win "$QB_TMP/out2")" \
  --set-from "$(qb_win "$QB_TMP/set")" >/dev/null
for f in numbers.txt big.bin c1.bin c2.bin c3.bin c4.bin c5.bin; do
  expect_same_file "$src/$f" "$QB_TMP/out2/$f" "set through TCab: $f"
done
# The same set read in place, the way the installer reads its package.
rm -f "$QB_TMP"/walk/piece_*
cabtest extract "$(qb_win "$QB_TMP/walk/temp_0.tmp")" "$(qb_win "$QB_TMP/out2s")" \
  --stored-from "$(qb_win "$QB_TMP/set")" >/dev/null
for f in numbers.txt big.bin c1.bin c2.bin c3.bin c4.bin c5.bin; do
  expect_same_file "$src/$f" "$QB_TMP/out2s/$f" "set read in place: $f"
done
[ -z "$(ls "$QB_TMP/walk" | grep piece_ || true)" ] || fail "a piece was written"
# The same set through cabextract, as an independent peer.
(cd "$QB_TMP/set" && cabextract -q -d "$QB_TMP/out2x" temp_0.tmp 2>/dev/null)
for f in numbers.txt big.bin c5.bin; do
  expect_same_file "$src/$f" "$QB_TMP/out2x/$f" "set through cabextract: $f"
done

# A set whose boundaries fall among many small files: the files cut by a
# boundary continue, and the ones after them start a new folder.
mkdir -p "$QB_TMP/small/src" "$QB_TMP/small/set" "$QB_TMP/small/walk"
specs=()
for i in $(seq 0 39); do
  head -c 700 /dev/urandom >"$QB_TMP/small/src/f$i"
  specs+=("f$i=$QB_TMP/small/src/f$i")
done
"$QBCAB" "$QB_TMP/small/set" 8192 "${specs[@]}" >/dev/null
cp "$QB_TMP/small/set/temp_0.tmp" "$QB_TMP/small/walk/"
cabtest extract "$(qb_win "$QB_TMP/small/walk/temp_0.tmp")" "$(qb_win "$QB_TMP/small/out")" \
  --set-from "$(qb_win "$QB_TMP/small/set")" >/dev/null
diff -r "$QB_TMP/small/src" "$QB_TMP/small/out" >/dev/null || fail "small files through TCab differ"
echo "ok: set cut among small files through TCab"

# 3. A cabinet made by gcab.
(cd "$src" && gcab -c -z "$QB_TMP/gcab.cab" a.txt sub/b.bin numbers.txt)
cabtest extract "$(qb_win "$QB_TMP/gcab.cab")" "$(qb_win "$QB_TMP/out3")" >/dev/null
expect_same_file "$src/numbers.txt" "$QB_TMP/out3/numbers.txt" "gcab cabinet: numbers.txt"
expect_same_file "$src/sub/b.bin" "$QB_TMP/out3/sub/b.bin" "gcab cabinet: sub/b.bin"

# 4. Names the safe-name rule refuses are skipped, with and without events:
#    names that leave the folder, devices, trailing dots and blanks, streams.
#    "/" separates folders like "\".
mkdir -p "$QB_TMP/unsafe"
"$QBCAB" "$QB_TMP/unsafe" 0 '..\evil1.txt'="$src/a.txt" 'C:\evil2.txt'="$src/a.txt" \
  '\evil3.txt'="$src/a.txt" 'ok\..\..\evil4.txt'="$src/a.txt" 'ok\good.txt'="$src/a.txt" \
  'CON'="$src/a.txt" 'con.txt'="$src/a.txt" 'NUL .txt'="$src/a.txt" 'sub\LPT1.log'="$src/a.txt" \
  'evil5.'="$src/a.txt" 'evil6 '="$src/a.txt" 'ok\evil7.txt:stream'="$src/a.txt" \
  'dots.\evil8.txt'="$src/a.txt" 'sub/fwd.txt'="$src/numbers.txt" >/dev/null
for flags in "" "--events"; do
  rm -rf "$QB_TMP/out4"
  cabtest extract "$(qb_win "$QB_TMP/unsafe/temp_0.tmp")" "$(qb_win "$QB_TMP/out4/inner")" $flags >/dev/null
  expect_same_file "$src/a.txt" "$QB_TMP/out4/inner/ok/good.txt" "safe name extracted ($flags)"
  expect_same_file "$src/numbers.txt" "$QB_TMP/out4/inner/sub/fwd.txt" "a/b makes folder a ($flags)"
  expect_eq "$(cd "$QB_TMP/out4" && find . -type f | sort | tr '\n' ' ')" \
    "./inner/ok/good.txt ./inner/sub/fwd.txt " "nothing else written ($flags)"
  for evil in "$WINEPREFIX/drive_c/evil2.txt" "$QB_TMP/evil4.txt"; do
    [ ! -e "$evil" ] || fail "unsafe name written: $evil"
  done
  [ -z "$(find "$QB_TMP" "$WINEPREFIX/drive_c" / -maxdepth 1 -name 'evil*' 2>/dev/null)" ] ||
    fail "unsafe name written"
  echo "ok: unsafe names skipped ($flags)"
done

# 5. A destination that cannot be created raises the create-error event
#    and the file is skipped.
mkdir -p "$QB_TMP/out5/a.txt"
events=$(cabtest extract "$(qb_win "$QB_TMP/one/temp_0.tmp")" "$(qb_win "$QB_TMP/out5")" --events)
grep -q '^create-error .*out5\\a.txt$' <<<"$events" || fail "no create-error event: $events"
echo "ok: create-error event"
expect_same_file "$src/sub/b.bin" "$QB_TMP/out5/sub/b.bin" "the other files still extracted"

# 6. A set whose headers name their next cabinets "..\..\hostileN": the
#    reader asks its owner for cabinet N and never opens, creates or deletes
#    anything by a header's name. A file already lying where the header
#    points stays as it is.
mkdir -p "$QB_TMP/hset" "$QB_TMP/hwalk/a/b"
"$QBCAB" "$QB_TMP/hset" 60000 --header-names '..\..\hostile' numbers.txt="$src/numbers.txt" \
  big.bin="$src/big.bin" c5.bin="$src/c5.bin" >/dev/null
grep -qa 'hostile1' "$QB_TMP/hset/temp_0.tmp" || fail "the header does not name ..\\..\\hostile1"
echo precious >"$QB_TMP/hostile1"
cp "$QB_TMP/hset/temp_0.tmp" "$QB_TMP/hwalk/a/b/"
events=$(cabtest extract "$(qb_win "$QB_TMP/hwalk/a/b/temp_0.tmp")" "$(qb_win "$QB_TMP/out6")" \
  --events --set-from "$(qb_win "$QB_TMP/hset")")
grep -q '^next 1 header=..\\..\\hostile1' <<<"$events" || fail "no request for cabinet 1: $events"
for f in numbers.txt big.bin c5.bin; do
  expect_same_file "$src/$f" "$QB_TMP/out6/$f" "set with hostile header names: $f"
done
expect_eq "$(cat "$QB_TMP/hostile1")" precious "the file a header names is untouched"
expect_eq "$(find "$QB_TMP" -name 'hostile*' | wc -l)" 1 "no file made by a header's name"

# Without an owner that supplies cabinets, a set ends after its first
# cabinet and nothing is opened by the header's name.
rm -rf "$QB_TMP/out7"
cabtest extract "$(qb_win "$QB_TMP/hwalk/a/b/temp_0.tmp")" "$(qb_win "$QB_TMP/out7")" >/dev/null
expect_eq "$(cat "$QB_TMP/hostile1")" precious "no owner: the named file is untouched"
[ ! -e "$QB_TMP/out7/c5.bin" ] || fail "the set went on without an owner"
echo "ok: no owner, no next cabinet"
