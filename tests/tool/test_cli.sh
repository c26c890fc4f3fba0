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

# Not an installer.
rc=0; "$qb" inspect "$tmp/bad.toml" 2>/dev/null || rc=$?
[ $rc -eq 1 ] || fail "inspect of a non-installer"
echo PASS
