#!/usr/bin/env bash
# Installs built with the tool, silently, come out byte for byte: text,
# x86 programs, random and empty files, sizes at the 32 KiB frame edges, a
# file larger than the LZX window with far repeats, many small files; in one
# installer, spread over cabinets and volumes, with the smallest LZX window,
# and in several LZX folders of one cabinet. Run once per compression (QB_COMPRESSION).
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
app=$m/app
mkdir -p "$app/bin" "$app/docs" "$app/data/small" "$QB_TMP/dist"
cp "$QB_WIN/stub/quillbox-stub.exe" "$QB_WIN/stub/quillbox-uninstall.exe" "$app/bin/"
cp "$QB_WIN/tests/win/qbdrive.exe" "$app/bin/"
cp "$QB_SOURCE/README.md" "$app/docs/README.md"
seq 1 60000 >"$app/docs/numbers.txt"
cat "$QB_SOURCE"/common/*/*.cpp >"$app/docs/sources.txt"
head -c 150000 /dev/urandom >"$app/data/random.bin"
: >"$app/data/empty.txt"
for n in 1 10 11 32767 32768 32769 65535 65536 65537; do
  head -c "$n" "$app/docs/sources.txt" >"$app/data/edge-$n.txt"
done
# Larger than a 2 MiB window: code, random bytes, then the code again.
{
  cat "$app/bin/quillbox-stub.exe" "$app/bin/qbdrive.exe"
  head -c 2500000 /dev/urandom
  cat "$app/bin/quillbox-stub.exe"
} >"$app/data/far.bin"
for i in $(seq 1 120); do
  head -c $((i * 37)) "$app/docs/README.md" >"$app/data/small/s$i.txt"
done

# Builds $1 from the manifest's [package] lines ($2) and installs it
# silently into C:\<$1>; every file must come out as it went in.
install_and_compare() {
  local name=$1 package=$2
  cat >"$m/$name.toml" <<TOML
[app]
name = "Bit Exact $name"
version = "1"
destination = "C:\\\\$name"
[package]
$package
[[files]]
source = "app/**"
TOML
  qb_tool build "$m/$name.toml" -o "$QB_TMP/dist/$name.exe" >"$QB_TMP/build-$name.txt" ||
    fail "build $name: $(cat "$QB_TMP/build-$name.txt")"
  local rc=0
  wine "$QB_TMP/dist/$name.exe" /S || rc=$?
  expect_eq "$rc" 0 "$name: exit code"
  local count=0 f
  while IFS= read -r f; do
    cmp -s "$app/$f" "$WINEPREFIX/drive_c/$name/$f" || fail "$name: $f differs"
    count=$((count + 1))
  done < <(cd "$app" && find . -type f | sed 's|^\./||')
  echo "ok: $name: all $count files byte for byte ($(head -n1 "$QB_TMP/build-$name.txt"))"
}

# The folder's compression type in a single-cabinet installer: the file
# cabinet data starts after "MSCF" with the rest of the header, then the
# first CFFOLDER.
folder_type() {
  local offset
  offset=$("$QB_NATIVE/tool/quillbox" inspect "$1" | sed -n 's/.*file cabinet data at *\([0-9]*\).*/\1/p')
  od -An -tx1 -j $((offset + 38)) -N2 "$1" | tr -d ' \n'
}

install_and_compare one ""
case "${QB_COMPRESSION:-}" in
  mszip) expect_eq "$(folder_type "$QB_TMP/dist/one.exe")" 0100 "MSZIP folder" ;;
  *) expect_eq "$(folder_type "$QB_TMP/dist/one.exe")" 0315 "LZX folder with a 2 MiB window" ;;
esac
install_and_compare volumes $'cabinet_size = 400000\nvolume_size = 300000\nvolume_pattern = "v-{volume}.bin"'
[ -e "$QB_TMP/dist/v-3.bin" ] || fail "the package was not spread over volumes"
install_and_compare window15 $'lzx_window = 15\nlevel = 9'

# More than 32 MiB in one cabinet: LZX folders that were compressed side
# by side follow one another in the cabinet.
mkdir -p "$app/more"
for i in 1 2 3; do head -c 12000000 /dev/urandom >"$app/more/r$i.bin"; done
cp "$app/docs/sources.txt" "$app/more/after.txt"
install_and_compare folders ""
if [ "${QB_COMPRESSION:-lzx}" = lzx ]; then
  offset=$("$QB_NATIVE/tool/quillbox" inspect "$QB_TMP/dist/folders.exe" |
    sed -n 's/.*file cabinet data at *\([0-9]*\).*/\1/p')
  folders=$(od -An -tu2 -j $((offset + 22)) -N2 "$QB_TMP/dist/folders.exe" | tr -d ' ')
  [ "$folders" -ge 2 ] || fail "one folder only: $folders"
  echo "ok: $folders LZX folders in one cabinet"
fi
