#!/usr/bin/env bash
# Installation speed, size and memory under Wine, from one interleaved run:
#  - a silent installation against a bare FDI extraction (fdibare: FDICopy
#    and nothing else) of the same cabinet, for 100 MiB in 400 files and for
#    5,000 small files;
#  - the peak memory of the large installation against the bare extraction;
#  - the silent run of an empty package against a minimal windowed program
#    (minwindow: one window, then the end), the fixed cost of every run;
#  - the size of the empty installer against the leanest peer's 92,431 bytes.
# Every measure runs in turns with the others, ROUNDS times (default 5); the
# medians are reported. Not a test: it prints figures.
# The packages use the tool's default compression (LZX); COMPRESSION=mszip
# (or none) measures another.
#   bash bench/install-vs-fdi.sh [ROUNDS]
set -eu
cd "$(dirname "$0")/.."
rounds=${1:-5}
QB_WIN=$PWD/build/win
QB_WIN64=$PWD/build/win64
source tests/wine/lib.sh
[ -x /usr/bin/time ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
work=$(mktemp -d /tmp/qbinstallbench.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; qb_stop_xvfb; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix
qb_start_xvfb "$work"
wineboot -i >/dev/null 2>&1
wineserver -w
qb_unlink_home
# One server for the whole run: otherwise whichever program starts first
# after a pause pays for starting the Wine server (about a second here).
wineserver -p >/dev/null 2>&1 </dev/null
qb=build/native/tool/quillbox
stub=$QB_WIN/stub/quillbox-stub.exe
C=$WINEPREFIX/drive_c
echo "Wine $WINEARCH; the installer under test: $stub"

make_package() {  # make_package NAME COUNT SIZE: COUNT files of about SIZE bytes, half text, half binary
  local dir=$work/$1/app i
  mkdir -p "$dir/sub"
  for i in $(seq "$2"); do
    if [ $((i % 2)) -eq 0 ]; then
      head -c "$3" /dev/urandom >"$dir/sub/f$i.bin"
    else
      (seq 1 $(($3 / 6)) | head -c "$3") >"$dir/f$i.txt"
    fi
  done
  cat >"$work/$1/m.toml" <<TOML
[app]
name = "Bench $1"
version = "1"
destination = "C:\\\\bench\\\\$1"
TOML
  [ "$2" -eq 0 ] || printf '[[files]]\nsource = "app/**"\n' >>"$work/$1/m.toml"
  "$qb" build "$work/$1/m.toml" -o "$work/$1/setup.exe" --stub "$stub" \
    ${COMPRESSION:+--compression "$COMPRESSION"} >/dev/null
  [ "$2" -gt 0 ] || return 0
  # The cabinet of the package, for the bare extraction.
  local offset size
  offset=$("$qb" inspect "$work/$1/setup.exe" | awk '/file cabinet data at/ {print $NF}')
  size=$(stat -c %s "$work/$1/setup.exe")
  { printf 'MSCF'; tail -c +$((offset + 1)) "$work/$1/setup.exe" | head -c $((size - 34 - offset)); } >"$C/$1.cab"
}

# measure NAME COMMAND...: appends "seconds peak-KiB" to NAME.times
# Each measure starts from a settled system: the previous one's writes on
# disk, and one unmeasured program run first. Without that, the first Wine
# program after thousands of files were written pays for the aftermath
# (measured: an empty installation took 0.36 s right after the 5,000-file
# extraction, 0.18 s when run a second time).
measure() {
  local name=$1
  shift
  sync
  wine "$QB_WIN/tests/win/minwindow.exe" >/dev/null 2>&1 || true
  /usr/bin/time -f '%e %M' -o "$work/one.time" "$@" >/dev/null 2>&1 || true
  cat "$work/one.time" >>"$work/$name.times"
}
install() { rm -rf "$C/bench/$1"; measure "install-$1" wine "$work/$1/setup.exe" /S; }
bare() {
  rm -rf "$C/bare"
  mkdir -p "$C/bare"
  measure "bare-$1" wine "$QB_WIN/tests/win/fdibare.exe" 'C:\' "$1.cab" 'C:\bare\'
}
median() { awk "{print \$$2}" "$work/$1.times" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

make_package empty 0 0
# The product is the 32-bit stub: its empty installer is the size that counts.
"$qb" build "$work/empty/m.toml" -o "$work/empty32.exe" --stub build/win/stub/quillbox-stub.exe \
  >/dev/null
make_package large 400 262144
make_package small 5000 2000
for round in $(seq "$rounds"); do
  install large
  bare large
  install small
  bare small
  install empty
  measure minwindow wine "$QB_WIN/tests/win/minwindow.exe"
done

ratio() { echo "$1 / $2" | bc -l; }
for p in large small; do
  printf '%-5s %5d files %10d bytes: install %6.2f s, bare FDICopy %6.2f s, ratio %.2f\n' "$p" \
    "$(find "$work/$p/app" -type f | wc -l)" "$(du -sb "$work/$p/app" | cut -f1)" \
    "$(median "install-$p" 1)" "$(median "bare-$p" 1)" \
    "$(ratio "$(median "install-$p" 1)" "$(median "bare-$p" 1)")"
done
printf 'peak memory, large: install %d KiB, bare FDICopy %d KiB, ratio %.2f\n' \
  "$(median install-large 2)" "$(median bare-large 2)" \
  "$(ratio "$(median install-large 2)" "$(median bare-large 2)")"
printf 'silent run of an empty package %.2f s, minimal windowed program %.2f s, ratio %.2f\n' \
  "$(median install-empty 1)" "$(median minwindow 1)" \
  "$(ratio "$(median install-empty 1)" "$(median minwindow 1)")"
printf 'empty installer (32-bit stub and package): %d bytes, the leanest peer 92431, ratio %.2f\n' \
  "$(stat -c %s "$work/empty32.exe")" "$(ratio "$(stat -c %s "$work/empty32.exe")" 92431)"
