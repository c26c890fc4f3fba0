#!/usr/bin/env bash
# The quillbox command line: help, version, build of the example, inspect,
# and a manifest error reported with file, line and reason.
set -euo pipefail
qb=$QB_NATIVE/tool/quillbox
tmp=$(mktemp -d /tmp/qbcli.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

"$qb" --version | grep -q '^quillbox [0-9]' || fail "--version"
"$qb" --help | grep -q 'build MANIFEST' || fail "--help"
"$qb" build --help | grep -q 'usage: quillbox build' || fail "build --help"
"$qb" inspect --help | grep -q 'usage: quillbox inspect' || fail "inspect --help"
"$qb" settings | grep -q '^welcome_page' || fail "settings"
rc=0; "$qb" frobnicate 2>/dev/null || rc=$?
[ $rc -eq 2 ] || fail "unknown command exit code $rc"

# The example builds, and inspect shows what its manifest says.
"$qb" build "$QB_SOURCE/examples/tally/tally.toml" -o "$tmp/tally-setup.exe" >"$tmp/build.txt"
grep -q "built $tmp/tally-setup.exe" "$tmp/build.txt" || fail "build output: $(cat "$tmp/build.txt")"
"$qb" inspect "$tmp/tally-setup.exe" >"$tmp/inspect.txt"
for line in \
  ' 65 title                      = Tally 1.0 Setup' \
  ' 58 destination                = {pf}\Tally' \
  ' 27 branding_text              = Quillbox example' \
  '  0: destination="{app}\tally.exe" overwrite="2" uninstall="1"' \
  '  4: destination="{app}\docs\guide.txt" overwrite="3" uninstall="1"' \
  '  0: root="1" key="Software\Quillbox Examples\Tally" value="InstallDir" default="{pf}\Tally"' \
  '  0: name="Tally Digits (TrueType)" file="{fonts}\TallyDigits.ttf"' \
  '  0: root="1" key="Software\Quillbox Examples\Tally" name="InstallDir" data="{app}" type="0" overwrite="1" uninstall="1"' \
  '  0: file="{app}\tally.ini" section="Counter" key="start" value="0" overwrite="0" uninstall="1"' \
  '  1: location="1" name="Tally.lnk" target="{app}\tally.exe" arguments="" description="" icon="" icon_index="0" working_folder=""' \
  '   1 welcome_title              Welcome to the Tally Setup'; do
  grep -qF -- "$line" "$tmp/inspect.txt" || fail "inspect lacks: $line"
done
echo "ok: inspect shows the manifest"

# A bad manifest: file, line, reason; non-zero exit; no output.
cat >"$tmp/bad.toml" <<'TOML'
[app]
name = "Bad"
version = "1"

[[shortcuts]]
name = "x"
target = "{ap}\\x.exe"
TOML
rc=0
"$qb" build "$tmp/bad.toml" -o "$tmp/bad.exe" 2>"$tmp/err.txt" || rc=$?
[ $rc -eq 1 ] || fail "bad manifest exit code $rc"
grep -q "^$tmp/bad.toml:7: unknown variable {ap}" "$tmp/err.txt" || fail "error text: $(cat "$tmp/err.txt")"
[ ! -e "$tmp/bad.exe" ] && [ -z "$(ls "$tmp" | grep part || true)" ] || fail "partial output left"
echo "ok: bad manifest rejected with file and line"

# Names from a manifest reach the terminal with control characters escaped.
printf '[app]\nname = "Bell"\nversion = "1"\n[[files]]\nsource = "missing\\n\\u001b[31m.txt"\n' \
  >"$tmp/ctl.toml"
rc=0
"$qb" build "$tmp/ctl.toml" -o "$tmp/ctl.exe" 2>"$tmp/err.txt" || rc=$?
[ $rc -eq 1 ] || fail "control characters: exit code $rc"
grep -qF "$tmp/ctl.toml:5: missing source file \"$tmp/missing\n\x1b[31m.txt\"" "$tmp/err.txt" ||
  fail "control characters not escaped: $(cat -A "$tmp/err.txt")"
[ "$(wc -l <"$tmp/err.txt")" -eq 1 ] || fail "the error spans lines: $(cat -A "$tmp/err.txt")"
echo "ok: control characters escaped"

# A file the installer could never place (a device name) is refused at
# build time with file, line and reason; nothing is written.
mkdir -p "$tmp/dev"
echo "data" >"$tmp/dev/a.txt"
printf '[app]\nname = "Dev"\nversion = "1"\n[[files]]\nsource = "a.txt"\nname = "Aux.txt"\n' \
  >"$tmp/dev/dev.toml"
rc=0
"$qb" build "$tmp/dev/dev.toml" -o "$tmp/dev/dev.exe" 2>"$tmp/err.txt" || rc=$?
[ $rc -eq 1 ] || fail "device name: exit code $rc"
grep -qF "$tmp/dev/dev.toml:6: the file \"{app}\\Aux.txt\" can never be installed: the file name \"Aux.txt\" is a reserved device name" \
  "$tmp/err.txt" || fail "device name error: $(cat "$tmp/err.txt")"
[ ! -e "$tmp/dev/dev.exe" ] || fail "a refused manifest left an installer"
echo "ok: a file the installer could never place is refused"

# A license over the 1 MiB the installer's viewer shows: a warning with
# file and line, and the build goes on.
head -c 5000000 /dev/zero | tr '\0' x >"$tmp/dev/license.txt"
printf '[app]\nname = "Dev"\nversion = "1"\nlicense = "license.txt"\n[[files]]\nsource = "a.txt"\n' \
  >"$tmp/dev/big.toml"
"$qb" build "$tmp/dev/big.toml" -o "$tmp/dev/big.exe" >/dev/null 2>"$tmp/err.txt" ||
  fail "a large license stops the build: $(cat "$tmp/err.txt")"
grep -qF "$tmp/dev/big.toml:4: warning: the license \"$tmp/dev/license.txt\" is 4.8 MiB" "$tmp/err.txt" ||
  fail "large license warning: $(cat "$tmp/err.txt")"
[ -s "$tmp/dev/big.exe" ] || fail "no installer after the warning"
echo "ok: a large license is a warning"

# A source path the system refuses (10,000 characters) is still a manifest
# error with its file and line.
printf '[app]\nname = "Long"\nversion = "1"\n[[files]]\nsource = "%s"\n' "$(head -c 10000 /dev/zero | tr '\0' a)" \
  >"$tmp/long.toml"
rc=0
"$qb" build "$tmp/long.toml" -o "$tmp/long.exe" 2>"$tmp/err.txt" || rc=$?
[ $rc -eq 1 ] || fail "long path: exit code $rc"
grep -q "^$tmp/long.toml:5: cannot read the source: File name too long" "$tmp/err.txt" ||
  fail "long path error: $(head -c 300 "$tmp/err.txt")"
echo "ok: a path too long names the manifest line"

# A damaged package whose numbers are at the very limit: inspect derives no
# figure that overflows, and its texts are shown escaped.
"$QB_NATIVE/tests/qbpack" "$tmp/tally-setup.exe" "$tmp/limits.exe" \
  --set 117=9223372036854775807 --set 95=9223372036854775807 --set 118=9223372036854775807 \
  --set "65=$(printf 'Title\033[2J')"
"$qb" inspect "$tmp/limits.exe" >"$tmp/limits.txt"
grep -qF 'Cabinets: 9223372036854775807, stored size 9223372036854775807 each' "$tmp/limits.txt" ||
  fail "cabinet count: $(grep Cabinets "$tmp/limits.txt")"
grep -qF 'Cabinet data: 9223372036854775807 bytes' "$tmp/limits.txt" ||
  fail "cabinet data: $(grep 'Cabinet data' "$tmp/limits.txt")"
grep -qF 'title                      = Title\x1b[2J' "$tmp/limits.txt" || fail "title not escaped"
echo "ok: inspect at the limits"

# Not an installer.
rc=0; "$qb" inspect "$tmp/bad.toml" 2>/dev/null || rc=$?
[ $rc -eq 1 ] || fail "inspect of a non-installer"

# Reproducible builds: the same manifest and files give the same installer,
# byte for byte; with SOURCE_DATE_EPOCH, even after the files were touched
# (a fresh checkout) and whatever the time of the build.
mkdir -p "$tmp/repro/app"
echo "reproducible" >"$tmp/repro/app/a.txt"
printf '[app]\nname = "Repro"\nversion = "1"\n[[files]]\nsource = "app/a.txt"\n' >"$tmp/repro/r.toml"
# (The installer's own file name is part of its version resource: every
# build here writes setup.exe in its own folder.)
build() { mkdir -p "$tmp/repro/$1" && "$qb" build "$tmp/repro/r.toml" -o "$tmp/repro/$1/setup.exe" >/dev/null; }
SOURCE_DATE_EPOCH=1700000000 build 1
build 2
sleep 1
build 3
cmp -s "$tmp/repro/2/setup.exe" "$tmp/repro/3/setup.exe" || fail "two builds of the same files differ"
touch "$tmp/repro/app/a.txt"
SOURCE_DATE_EPOCH=1700000000 build 4
cmp -s "$tmp/repro/1/setup.exe" "$tmp/repro/4/setup.exe" || fail "SOURCE_DATE_EPOCH builds differ after a touch"
build 5
cmp -s "$tmp/repro/1/setup.exe" "$tmp/repro/5/setup.exe" && fail "file times do not reach the installer at all"
echo "ok: builds are reproducible, with SOURCE_DATE_EPOCH across fresh checkouts"

# Installed (make install's layout): the tool finds the stub and the
# uninstaller in PREFIX/lib/quillbox.
cmake --install "$QB_NATIVE" --prefix "$tmp/prefix" >/dev/null
[ -x "$tmp/prefix/bin/quillbox" ] && [ -f "$tmp/prefix/lib/quillbox/quillbox-stub.exe" ] &&
  [ -f "$tmp/prefix/lib/quillbox/quillbox-uninstall.exe" ] || fail "install layout"
"$tmp/prefix/bin/quillbox" build "$tmp/repro/r.toml" -o "$tmp/installed.exe" >/dev/null ||
  fail "the installed tool cannot build"
"$qb" inspect "$tmp/installed.exe" >"$tmp/installed.txt"
grep -q 'uninstall.exe' "$tmp/installed.txt" || fail "no uninstaller in the installed tool's build"
echo "ok: make install's layout builds installers with the uninstaller"
echo PASS
