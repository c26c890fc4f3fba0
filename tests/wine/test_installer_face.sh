#!/usr/bin/env bash
# The installer's own face, written by the tool without Windows: the
# application's icon, a version resource from the manifest, and the
# execution level its manifest requests; the installer still runs.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "face" >"$m/app/f.txt"
convert -size 48x48 xc:red "$m/app.ico"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Face Test"
version = "3.2.1"
publisher = "Quillbox Tests"
copyright = "© 2026 Quillbox Tests"
icon = "app.ico"
destination = "C:\\Face"
[uninstall]
enabled = false
[[files]]
source = "app/f.txt"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/face-setup.exe" >/dev/null
info=$(wine "$QB_WIN/tests/win/qbfileinfo.exe" "$(qb_win "$QB_TMP/face-setup.exe")" | tr -d '\r')
for want in 'fixed=3.2.1.0' 'ProductName=Face Test' 'ProductVersion=3.2.1' 'FileVersion=3.2.1' \
  'CompanyName=Quillbox Tests' 'FileDescription=Face Test Setup' 'OriginalFilename=face-setup.exe' \
  'icons=1 first=48' 'level=requireAdministrator'; do
  grep -qxF -- "$want" <<<"$info" || fail "the installer lacks $want: $info"
done
LC_ALL=C grep -q '^LegalCopyright=.* 2026 Quillbox Tests$' <<<"$info" || fail "no copyright: $info"
echo "ok: version resource, the application's icon and an administrator's execution level"
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/face-setup.exe")" /S)" 0 "the installer with its own face runs"
expect_same_file "$m/app/f.txt" "$WINEPREFIX/drive_c/Face/f.txt" "its file is installed"

# Per user: the manifest asks for no elevation.
sed -i 's/^icon = "app.ico"$/privileges = "user"/' "$m/m.toml"
qb_tool build "$m/m.toml" -o "$QB_TMP/user-setup.exe" >/dev/null
info=$(wine "$QB_WIN/tests/win/qbfileinfo.exe" "$(qb_win "$QB_TMP/user-setup.exe")" | tr -d '\r')
grep -qx 'level=asInvoker' <<<"$info" || fail "a per-user installer requests elevation: $info"
stub_icons=$(wine "$QB_WIN/tests/win/qbfileinfo.exe" "$(qb_win "$QB_STUB")" | tr -d '\r' | grep '^icons=')
grep -qxF "$stub_icons" <<<"$info" || fail "without [app] icon the stub's icon is not kept: $info"
echo "ok: a per-user installer runs as the invoking user and keeps Quillbox's icon"
