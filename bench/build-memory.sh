#!/usr/bin/env bash
# Peak memory of a build: the tool builds an installer from one large random
# file (default 1 GiB) with each compression, under /usr/bin/time -v, and
# prints the maximum resident set size, the time and the sizes. The build
# streams its sources and spools the cabinets' data to a temporary file, so
# the peak stays the same whatever the size of the file (the goal: at most
# 512 MiB). Not a test: it prints figures.
#   bash bench/build-memory.sh [MIB]
set -eu
cd "$(dirname "$0")/.."
mib=${1:-1024}
[ -x /usr/bin/time ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
qb=$PWD/build/native/tool/quillbox
stub=$PWD/build/win/stub/quillbox-stub.exe
work=$(mktemp -d /tmp/qbmembench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app"
head -c $((mib * 1048576)) /dev/urandom >"$work/app/big.bin"
printf '[app]\nname = "Memory"\nversion = "1"\n[[files]]\nsource = "app/**"\n' >"$work/m.toml"
echo "one random file of $mib MiB"
for compression in lzx mszip none; do
  /usr/bin/time -v "$qb" build "$work/m.toml" -o "$work/setup.exe" --stub "$stub" \
    --compression "$compression" >"$work/out.txt" 2>"$work/time.txt"
  rss=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$work/time.txt")
  wall=$(awk '/Elapsed \(wall clock\)/ {print $NF}' "$work/time.txt")
  printf '%-6s peak RSS %6d MiB  time %s  installer %d bytes\n' "$compression" $((rss / 1024)) \
    "$wall" "$(stat -c %s "$work/setup.exe")"
  rm -f "$work/setup.exe"
done
