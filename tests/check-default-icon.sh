#!/usr/bin/env bash
# The installer's own icon, which an installer keeps when its manifest gives
# no [app] icon: the committed stub/resources/quillbox.ico is what
# scripts/make-icon.py draws, byte for byte; it holds 16 to 256 pixel
# images; and the stub and an installer the tool builds without [app] icon
# carry its 256-pixel image.
set -euo pipefail
source_dir=$1 stub=$2 tool=$3
tmp=$(mktemp -d /tmp/qbicon.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

python3 "$source_dir/scripts/make-icon.py" "$tmp/drawn.ico"
cmp "$tmp/drawn.ico" "$source_dir/stub/resources/quillbox.ico" ||
  fail "stub/resources/quillbox.ico is not what scripts/make-icon.py draws"
echo "ok: the committed icon is what scripts/make-icon.py draws"

sizes=$(identify -format '%w ' "$source_dir/stub/resources/quillbox.ico")
[ "$sizes" = "16 32 48 64 128 256 " ] || fail "the icon's sizes: $sizes"
echo "ok: the icon holds $sizes pixel images"

mkdir -p "$tmp/m"
echo "payload" >"$tmp/m/p.txt"
printf '[app]\nname = "Icon"\nversion = "1"\n[[files]]\nsource = "p.txt"\n' >"$tmp/m/m.toml"
"$tool" build "$tmp/m/m.toml" -o "$tmp/setup.exe" --stub "$stub" >/dev/null
python3 - "$source_dir/stub/resources/quillbox.ico" "$stub" "$tmp/setup.exe" <<'PY'
import struct, sys
ico = open(sys.argv[1], "rb").read()
count = struct.unpack_from("<H", ico, 4)[0]
for i in range(count):
    w, _, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
    if w == 0:
        image = ico[offset:offset + size]
assert image.startswith(b"\x89PNG"), "no 256-pixel PNG image"
for exe in sys.argv[2:]:
    assert image in open(exe, "rb").read(), exe + " lacks the 256-pixel image"
    print("ok: " + exe.split("/")[-1] + " carries the 256-pixel image (%d bytes)" % len(image))
PY
