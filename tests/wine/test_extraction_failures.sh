#!/usr/bin/env bash
# Whatever stops the extraction fails the installation: a full disk, during
# a new installation and during a replacement, damaged cabinet data and a
# volume cut short. Each ends with a non-zero exit code, a log that names
# the file or the volume, no partial or empty file under a final name, the
# old file intact, no Add/Remove Programs entry and the working folder
# removed.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/big" "$m/v1" "$m/v2" "$m/text"
# 32 MB that do not compress, for a 20 MB drive.
for i in 1 2 3 4; do head -c 8000000 /dev/urandom >"$m/big/part$i.bin"; done
head -c 4000000 /dev/urandom >"$m/v1/data.bin"
head -c 4000000 /dev/urandom >"$m/v2/data.bin"
echo "version 1" >"$m/v1/other.txt"
echo "version 2" >"$m/v2/other.txt"
# Text that no compression shrinks much (random letters), so that the
# damaged and cut volumes below come to several volume files whatever
# compression the package uses.
for i in $(seq 1 20); do
  head -c $((i * 6000)) /dev/urandom | base64 -w 76 | sed "s/^/line of file $i: /" >"$m/text/file$i.txt"
done

build() { # name, destination, source, [package lines], [more tables]
  cat >"$m/$1.toml" <<TOML
[app]
name = "Failure Test"
version = "1"
title = "Failure Test"
destination = "$2"
[package]
${4:-}
[[files]]
source = "$3"
${5:-}
TOML
  qb_tool build "$m/$1.toml" -o "$QB_TMP/dist-$1/setup.exe" >/dev/null
}
mkdir -p "$QB_TMP"/dist-{space,full,v1,v2,damaged,volumes}

# Every file under the destination is either absent or equal to its source,
# and no temporary file is left.
expect_no_partial_files() { # destination folder, source folder, what
  local f
  if [ -d "$1" ]; then
    for f in "$1"/*; do
      [ -e "$f" ] || continue
      case "$f" in *.qbpart) fail "$3: temporary file left: $f" ;; esac
      [ -f "$2/$(basename "$f")" ] || continue
      cmp -s "$2/$(basename "$f")" "$f" || fail "$3: $f is not the packed file"
    done
  fi
  echo "ok: $3: no partial file under a final name"
}

expect_no_entry() {
  if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Failure Test' \
    >/dev/null 2>&1; then
    fail "$1: an Add/Remove Programs entry was written"
  fi
  echo "ok: $1: no Add/Remove Programs entry"
}

# A 20 MB drive T:.
mkdir -p "$QB_TMP/small"
mount -t tmpfs -o size=20m tmpfs "$QB_TMP/small"
trap 'qb_status=$?; umount "$QB_TMP/small" 2>/dev/null; (exit $qb_status); qb_end' EXIT
ln -s "$QB_TMP/small" "$WINEPREFIX/dosdevices/t:"

# A silent run checks the free space first, as the Destination page does:
# nothing is written.
build space 'T:\\App' 'big/*.bin'
rc=0
wine "$QB_TMP/dist-space/setup.exe" /S /NP "/LOG=C:\\space.log" || rc=$?
expect_eq "$rc" 3 "too little space for a silent run: exit code"
[ -z "$(ls -A "$QB_TMP/small")" ] || fail "something was written: $(ls -A "$QB_TMP/small")"
grep_q "destination refused: the drive has" "$WINEPREFIX/drive_c/space.log" ||
  fail "the log does not say why: $(tail -3 "$WINEPREFIX/drive_c/space.log")"
echo "ok: nothing written"

# A new installation on a drive too small for it. The package claims to
# need nothing, so that the extraction itself meets the full disk.
build full 'T:\\App' 'big/*.bin' '' $'[settings]\nrequired_disk_space = 0'
rc=0
wine "$QB_TMP/dist-full/setup.exe" /S /NP "/LOG=C:\\full.log" || rc=$?
expect_eq "$rc" 3 "disk full: exit code"
expect_no_partial_files "$QB_TMP/small/App" "$m/big" "disk full"
grep_q -i "could not be written: T:\\\\App\\\\part.\\.bin" "$WINEPREFIX/drive_c/full.log" ||
  fail "the log does not name the file: $(tail -5 "$WINEPREFIX/drive_c/full.log")"
grep_q "exit code 3" "$WINEPREFIX/drive_c/full.log" || fail "the log does not end with exit code 3"
expect_no_entry "disk full"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"
rm -rf "$QB_TMP/small/App"

# A replacement with too little room for the new file: the old one stays.
build v1 'T:\\App' 'v1/*' 'compression = "none"'
build v2 'T:\\App' 'v2/*' 'compression = "none"' $'[settings]\nrequired_disk_space = 0'
wine "$QB_TMP/dist-v1/setup.exe" /S
expect_same_file "$m/v1/data.bin" "$QB_TMP/small/App/data.bin" "version 1 installed"
wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Failure Test' /f \
  >/dev/null 2>&1 || true
# Leave about 3 MB free.
free=$(df -B1 --output=avail "$QB_TMP/small" | tail -1)
head -c $((free - 3000000)) /dev/zero >"$QB_TMP/small/filler"
rc=0
wine "$QB_TMP/dist-v2/setup.exe" /S /NP "/LOG=C:\\replace.log" || rc=$?
expect_eq "$rc" 3 "replacement on a full disk: exit code"
expect_same_file "$m/v1/data.bin" "$QB_TMP/small/App/data.bin" "the old file is intact"
[ ! -e "$QB_TMP/small/App/data.bin.qbpart" ] || fail "temporary file left"
grep_q -i "could not be written: T:\\\\App\\\\data.bin" "$WINEPREFIX/drive_c/replace.log" ||
  fail "the log does not name the file: $(tail -5 "$WINEPREFIX/drive_c/replace.log")"
expect_no_entry "replacement on a full disk"
rm -f "$QB_TMP/small/filler"

# Damaged cabinet data: the cabinets lie in volume files; one byte in the
# middle of volume 2 is changed.
build damaged 'C:\\Damaged' 'text/*' $'cabinet_size = 100000\nvolume_size = 65536\nvolume_pattern = "d-{volume}.part"'
ls "$QB_TMP/dist-damaged/d-3.part" >/dev/null || fail "the package has too few volumes"
rc=0
wine "$QB_TMP/dist-damaged/setup.exe" /S || rc=$?
expect_eq "$rc" 0 "the undamaged package installs"
rm -rf "$WINEPREFIX/drive_c/Damaged"
wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Failure Test' /f \
  >/dev/null 2>&1 || true
python3 - "$QB_TMP/dist-damaged/d-2.part" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
data[len(data) // 2] ^= 0x10
open(path, 'wb').write(data)
PY
rc=0
wine "$QB_TMP/dist-damaged/setup.exe" /S /NP "/LOG=C:\\damaged.log" || rc=$?
expect_eq "$rc" 1 "damaged cabinet data: exit code (damaged setup files)"
expect_no_partial_files "$WINEPREFIX/drive_c/Damaged" "$m/text" "damaged cabinet data"
grep_q "is damaged.*d-2.part" "$WINEPREFIX/drive_c/damaged.log" ||
  fail "the log does not name volume 2: $(tail -5 "$WINEPREFIX/drive_c/damaged.log")"
expect_no_entry "damaged cabinet data"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"

# A volume cut short: the message names that volume, not a later one.
build volumes 'C:\\Volumes' 'text/*' $'cabinet_size = 100000\nvolume_size = 65536\nvolume_pattern = "v-{volume}.part"'
truncate -s 30000 "$QB_TMP/dist-volumes/v-3.part"
wine "$QB_TMP/dist-volumes/setup.exe" /S &
pid=$!
qb_drive wait "Failure Test" 30000 '#32770' || fail "no message for the damaged volume"
text=$(qb_drive text "Failure Test" '#32770' | tr -d '\r' | tr '\n' '|')
case "$text" in
  *"The setup files are corrupted."*v-3.part*) echo "ok: the message names volume 3" ;;
  *) fail "the message does not name volume 3: $text" ;;
esac
qb_drive click "Failure Test" OK '#32770'
qb_drive wait "Failure Test" 20000 '#32770' || fail "no abandon message"
expect_eq "$(qb_drive text "Failure Test" '#32770' | tr -d '\r')" \
  "Setup could not finish and has stopped. Files that were already installed stay in place." \
  "then message 59"
qb_drive click "Failure Test" OK '#32770'
qb_wait_exit $pid
expect_eq "$QB_RC" 1 "a volume cut short: exit code"
expect_no_partial_files "$WINEPREFIX/drive_c/Volumes" "$m/text" "a volume cut short"
