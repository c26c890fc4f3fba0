#!/usr/bin/env bash
# The authoring tool as a Windows program: quillbox.exe (x86-64) builds the
# same installer, byte for byte, as the native tool from the same manifest,
# files, stub and uninstaller, and inspects it.
source "$(dirname "$0")/lib.sh"
qb_begin

tool=${QB_WIN_TOOL:-$QB_SOURCE/build/win-tool/tool/quillbox.exe}
[ -f "$tool" ] || fail "no quillbox.exe at $tool"
if [ "$WINEARCH" != win64 ]; then
  # A 64-bit program needs a 64-bit prefix of its own.
  export WINEARCH=win64 WINEPREFIX=$QB_TMP/prefix64
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

m=$QB_TMP/m
mkdir -p "$m/app/docs" "$QB_TMP/bin" "$QB_TMP/native" "$QB_TMP/windows"
echo "tally" >"$m/app/tally.txt"
echo "a guide" >"$m/app/docs/guide.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Windows Tool"
version = "1.2"
publisher = "Quillbox Tests"
[[files]]
source = "app/**"
[[registry]]
root = "HKCU"
key = "Software\\Windows Tool"
name = "Dir"
value = "{app}"
TOML
# The tool finds the stub and the uninstaller beside itself.
cp -p "$tool" "$QB_STUB" "$(dirname "$QB_STUB")/quillbox-uninstall.exe" "$QB_TMP/bin/"
wine "$QB_TMP/bin/quillbox.exe" --version | tr -d '\r' | grep -q '^quillbox [0-9]' ||
  fail "quillbox.exe --version"
wine "$QB_TMP/bin/quillbox.exe" build "$(qb_win "$m/m.toml")" \
  -o "$(qb_win "$QB_TMP/windows/setup.exe")" >"$QB_TMP/out.txt" 2>&1 ||
  fail "quillbox.exe build: $(cat "$QB_TMP/out.txt")"
qb_tool build "$m/m.toml" -o "$QB_TMP/native/setup.exe" >/dev/null
expect_same_file "$QB_TMP/native/setup.exe" "$QB_TMP/windows/setup.exe" \
  "quillbox.exe builds the native tool's installer, byte for byte"
wine "$QB_TMP/bin/quillbox.exe" inspect "$(qb_win "$QB_TMP/windows/setup.exe")" >"$QB_TMP/inspect.txt"
grep -q 'name="DisplayVersion" data="1.2"' "$QB_TMP/inspect.txt" ||
  fail "quillbox.exe inspect: $(head -c 2000 "$QB_TMP/inspect.txt")"
echo "ok: quillbox.exe inspects it"
# A manifest error names the file and the line there too.
printf '[app]\nname = "Bad"\nversion = "1"\n[[files]]\nsource = "nothing.txt"\n' >"$m/bad.toml"
rc=0
wine "$QB_TMP/bin/quillbox.exe" build "$(qb_win "$m/bad.toml")" >"$QB_TMP/err.txt" 2>&1 || rc=$?
[ $rc -eq 1 ] && grep -q 'bad.toml:5: missing source file' "$QB_TMP/err.txt" ||
  fail "quillbox.exe on a bad manifest: $rc $(cat "$QB_TMP/err.txt")"
echo "ok: quillbox.exe names the manifest line of an error"
