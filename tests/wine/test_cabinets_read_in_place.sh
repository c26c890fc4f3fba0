#!/usr/bin/env bash
# The installer reads its cabinets where they lie: while a one-cabinet
# package installs, the working folder never holds a piece of the cabinet,
# and the files arrive complete.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
for i in 1 2 3 4; do head -c 8000000 /dev/urandom >"$m/app/part$i.bin"; done
cat >"$m/m.toml" <<'TOML'
[app]
name = "In Place"
version = "1"
destination = "C:\\InPlace"
[[files]]
source = "app/**"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null

wine "$QB_TMP/setup.exe" /S &
pid=$!
seen=$QB_TMP/seen.txt
: >"$seen"
# Watch the working folder, every 20 ms, for as long as the installer runs.
look_until_ended() {
  ls -A "$QB_WORK" 2>/dev/null >>"$seen" || true
  ! kill -0 $pid 2>/dev/null
}
QB_POLL_INTERVAL=0.02 qb_wait_until 120 look_until_ended || fail "the installer did not end"
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "exit code"
for i in 1 2 3 4; do
  expect_same_file "$m/app/part$i.bin" "$WINEPREFIX/drive_c/InPlace/part$i.bin" "part$i.bin"
done
[ -s "$seen" ] || fail "the working folder was never seen: the watch proves nothing"
echo "ok: the working folder was watched ($(sort -u "$seen" | tr '\n' ' '))"
! grep -q '^temp_' "$seen" || fail "a cabinet piece was written: $(sort -u "$seen" | tr '\n' ' ')"
echo "ok: no cabinet piece in the working folder"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"
