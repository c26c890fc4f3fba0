#!/usr/bin/env bash
# Installer size against peers, from one run: our installer with MSZIP and
# with LZX, an NSIS installer with solid LZMA (makensis; the Debian package
# nsis is installed for this if missing), and `xz -9` of a tar of the same
# files, on
#  - nsis-data: a real text-heavy tree, Debian's NSIS data files
#    (/usr/share/nsis);
#  - libs-docs: the corpus of bench/cab-vs-gcab.sh (shared libraries and
#    documentation);
#  - large and small: the packages of bench/install-vs-fdi.sh (100 MiB in 400
#    files, half random, half numbers; 5,000 files of 2,000 bytes).
# Installers carry no uninstaller here (ours: [uninstall] enabled = false;
# the NSIS script writes none). Not a test: it prints figures.
#   bash bench/size-vs-peers.sh
set -eu
cd "$(dirname "$0")/.."
if ! command -v makensis >/dev/null; then
  echo "installing nsis for the comparison"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nsis >/dev/null
fi
qb=$PWD/build/native/tool/quillbox
stub=$PWD/build/win/stub/quillbox-stub.exe
work=$(mktemp -d /tmp/qbsizebench.XXXXXX)
trap 'rm -rf "$work"' EXIT

payload_nsis_data() { cp -r /usr/share/nsis/. "$1/"; }
payload_libs_docs() {
  mkdir -p "$1/lib" "$1/text"
  { find /usr/lib/x86_64-linux-gnu -maxdepth 1 -name '*.so*' -type f -size +100k -size -20M 2>/dev/null || true; } |
    sort | head -80 | while read -r f; do cp "$f" "$1/lib/$(basename "$f")"; done
  { find /usr/share/doc /usr/share/common-licenses -type f 2>/dev/null || true; } | grep -v ' ' | sort | head -2000 |
    while read -r f; do cp "$f" "$1/text/$(echo "${f#/usr/share/}" | tr '/' '_')"; done
}
payload_files() {  # DIR COUNT SIZE, as bench/install-vs-fdi.sh makes them
  local i
  mkdir -p "$1/sub"
  for i in $(seq "$2"); do
    if [ $((i % 2)) -eq 0 ]; then
      head -c "$3" /dev/urandom >"$1/sub/f$i.bin"
    else
      (seq 1 $(($3 / 6)) | head -c "$3") >"$1/f$i.txt"
    fi
  done
}
payload_large() { payload_files "$1" 400 262144; }
payload_small() { payload_files "$1" 5000 2000; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
seconds() { awk -v s="$1" -v e="$2" 'BEGIN { printf "%.1f", e - s }'; }

printf '%-10s %11s %11s %11s %11s %11s  %9s %9s\n' payload files-bytes mszip lzx nsis-lzma xz-9 lzx/mszip lzx/nsis
for name in nsis-data libs-docs large small; do
  dir=$work/$name
  mkdir -p "$dir/app"
  "payload_${name//-/_}" "$dir/app"
  bytes=$(du -sb "$dir/app" | cut -f1)
  cat >"$dir/m.toml" <<TOML
[app]
name = "Bench"
version = "1"
[uninstall]
enabled = false
[[files]]
source = "app/**"
TOML
  declare -A size took
  for c in mszip lzx; do
    s=$(date +%s.%N)
    "$qb" build "$dir/m.toml" -o "$dir/$c.exe" --stub "$stub" --compression "$c" >/dev/null
    took[$c]=$(seconds "$s" "$(date +%s.%N)")
    size[$c]=$(stat -c %s "$dir/$c.exe")
  done
  cat >"$dir/m.nsi" <<NSI
Name "Bench"
OutFile "$dir/nsis.exe"
SetCompressor /SOLID lzma
InstallDir "\$PROGRAMFILES\\Bench"
RequestExecutionLevel user
Section
  SetOutPath "\$INSTDIR"
  File /r "$dir/app/*"
SectionEnd
NSI
  s=$(date +%s.%N)
  makensis -V1 "$dir/m.nsi" >/dev/null
  took[nsis]=$(seconds "$s" "$(date +%s.%N)")
  size[nsis]=$(stat -c %s "$dir/nsis.exe")
  size[xz]=$(tar cf - -C "$dir/app" . | xz -9 | wc -c)
  printf '%-10s %11d %11d %11d %11d %11d  %9s %9s\n' "$name" "$bytes" "${size[mszip]}" "${size[lzx]}" \
    "${size[nsis]}" "${size[xz]}" "$(ratio "${size[lzx]}" "${size[mszip]}")" \
    "$(ratio "${size[lzx]}" "${size[nsis]}")"
  printf '%-10s build seconds: mszip %s, lzx %s, nsis %s\n' "" "${took[mszip]}" "${took[lzx]}" "${took[nsis]}"
  rm -rf "$dir"
done
