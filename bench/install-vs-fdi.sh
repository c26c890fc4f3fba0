#!/usr/bin/env bash
# Installation speed under Wine: a silent installation against a bare FDI
# extraction (fdibare: FDICopy and nothing else) of the same cabinet, for
# about 100 MB in a few hundred files and for 5,000 small files. The two are
# run in turns, five times each; the medians and their ratio are reported.
# Not a test: it prints figures.
#   bash bench/install-vs-fdi.sh
set -eu
cd "$(dirname "$0")/.."
source tests/wine/lib.sh
work=$(mktemp -d /tmp/qbinstallbench.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; qb_stop_xvfb; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix
qb_start_xvfb "$work"
wineboot -i >/dev/null 2>&1
wineserver -w
qb_unlink_home
qb=build/native/tool/quillbox
C=$WINEPREFIX/drive_c

make_corpus() {  # make_corpus NAME COUNT SIZE: COUNT files of about SIZE bytes, half text, half binary
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
[[files]]
source = "app/**"
TOML
  "$qb" build "$work/$1/m.toml" -o "$work/$1/setup.exe" >/dev/null
  # The cabinet of the package, for the bare extraction.
  local offset size
  offset=$("$qb" inspect "$work/$1/setup.exe" | awk '/file cabinet data at/ {print $NF}')
  size=$(stat -c %s "$work/$1/setup.exe")
  { printf 'MSCF'; tail -c +$((offset + 1)) "$work/$1/setup.exe" | head -c $((size - 34 - offset)); } >"$C/$1.cab"
}

median() { sort -n | sed -n 3p; }
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N); echo "$e - $s" | bc; }

run() {  # run NAME COUNT SIZE
  make_corpus "$1" "$2" "$3"
  local bytes install bare
  bytes=$(du -sb "$work/$1/app" | cut -f1)
  : >"$work/install.times"
  : >"$work/bare.times"
  for i in 1 2 3 4 5; do
    rm -rf "$C/bench/$1"
    seconds wine "$work/$1/setup.exe" /S >>"$work/install.times"
    rm -rf "$C/bare"
    mkdir -p "$C/bare"
    seconds wine build/win/tests/win/fdibare.exe 'C:\' "$1.cab" 'C:\bare\' >>"$work/bare.times"
  done
  install=$(median <"$work/install.times")
  bare=$(median <"$work/bare.times")
  printf '%-6s %5d files %10d bytes: install %6.2f s, bare FDI %6.2f s, ratio %.2f\n' \
    "$1" "$(find "$work/$1/app" -type f | wc -l)" "$bytes" "$install" "$bare" "$(echo "$install / $bare" | bc -l)"
}

run empty 1 10
run large 300 340000
run small 5000 2000
echo "(the empty package shows what every run costs before any file: Wine starting its"
echo " desktop for the first window, the package, the working folder)"
