#!/usr/bin/env bash
# Compression benchmark: our cabinet writer (through qbcab, MSZIP level 6)
# against `gcab -c -z` on the same files. Reports the best of three runs and
# the output sizes. Not a test: it prints figures.
#   bash bench/cab-vs-gcab.sh [NATIVE_BUILD]
set -eu
native=$(cd "${1:-build/native}" && pwd)
work=$(mktemp -d /tmp/qbbench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus/lib" "$work/corpus/text"
# A mixed corpus: shared libraries (binary) and documentation (text).
{ find /usr/lib/x86_64-linux-gnu -maxdepth 1 -name '*.so*' -type f -size +100k -size -20M 2>/dev/null || true; } |
  sort | head -80 | while read -r f; do cp "$f" "$work/corpus/lib/$(basename "$f")"; done
{ find /usr/share/doc /usr/share/common-licenses -type f 2>/dev/null || true; } | grep -v ' ' | sort | head -2000 |
  while read -r f; do cp "$f" "$work/corpus/text/$(echo "${f#/usr/share/}" | tr '/' '_')"; done
cd "$work/corpus"
files=$(find . -type f | sed 's|^\./||' | sort)
count=$(echo "$files" | wc -l)
bytes=$(du -cb $files | tail -1 | cut -f1)
specs=()
for f in $files; do specs+=("$f=$f"); done

best() { sort -n | head -1; }
ours=$(for i in 1 2 3; do
  s=$(date +%s.%N); "$native/tests/qbcab" "$work" 0 "${specs[@]}" >/dev/null; e=$(date +%s.%N)
  echo "$e - $s" | bc; done | best)
gcabt=$(for i in 1 2 3; do
  s=$(date +%s.%N); gcab -c -z "$work/g.cab" $files; e=$(date +%s.%N)
  echo "$e - $s" | bc; done | best)
osize=$(stat -c %s "$work/temp_0.tmp")
gsize=$(stat -c %s "$work/g.cab")
echo "corpus: $count files, $bytes bytes"
printf 'quillbox writer: %6.2f s  %d bytes\n' "$ours" "$osize"
printf 'gcab -z:         %6.2f s  %d bytes\n' "$gcabt" "$gsize"
printf 'time ratio (ours/gcab): %.2f   size ratio: %.4f\n' "$(echo "$ours / $gcabt" | bc -l)" "$(echo "$osize / $gsize" | bc -l)"
