#!/usr/bin/env bash
# An installation killed in the middle of a large file leaves the user's
# old file intact: files are written under a temporary name and moved over
# the old one only when complete.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/v1" "$m/v2"
head -c 5000000 /dev/urandom >"$m/v1/big.bin"
head -c 150000000 /dev/urandom >"$m/v2/big.bin"
for v in v1 v2; do
  cat >"$m/$v.toml" <<TOML
[app]
name = "Crash Test"
version = "$v"
destination = "C:\\\\Crash"
[package]
compression = "none"
[[files]]
source = "$v/big.bin"
TOML
  qb_tool build "$m/$v.toml" -o "$QB_TMP/$v.exe" >/dev/null
done
dest=$WINEPREFIX/drive_c/Crash/big.bin
wine "$QB_TMP/v1.exe" /S
expect_same_file "$m/v1/big.bin" "$dest" "version 1 installed"

wine "$QB_TMP/v2.exe" /S &
pid=$!
part_written() { [ "$(stat -c %s "$dest.qbpart" 2>/dev/null || echo 0)" -gt 1000000 ]; }
qb_wait_until 30 part_written || fail "never saw the file being written"
wineserver -k
wait $pid 2>/dev/null || true
echo "ok: killed while $(stat -c %s "$dest.qbpart") bytes of the new file were written"
expect_same_file "$m/v1/big.bin" "$dest" "the old file is intact"
