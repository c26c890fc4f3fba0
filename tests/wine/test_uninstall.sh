#!/usr/bin/env bash
# The uninstaller: an installer built by the tool with every kind of record
# is installed and removed again with the QuietUninstallString exactly as
# Add/Remove Programs holds it; the prefix's file tree and registry are then
# as before. A second installation meets a file the user added, a file the
# user changed and a file held open; a third is removed through the window.
source "$(dirname "$0")/lib.sh"
qb_begin
# Wine's menu builder would add .desktop files of its own beside shortcuts.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

m=$QB_TMP/m
W=$QB_WIN/tests/win
U=$(qb_user_dir)
mkdir -p "$m/bin" "$m/sub/deeper" "$QB_TMP/markers"
cp "$W/qbprobe.exe" "$W/regmarker.dll" "$m/bin/"
echo "data" >"$m/sub/deeper/data.txt"
echo "held" >"$m/held.dat"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$m/qbuninst.ttf"
cp "$QB_SOURCE/examples/tally/pictures/header.bmp" "$m/"
markers=$(qb_win "$QB_TMP/markers")
markers=${markers//\\/\\\\}  # as a TOML string
probe=$(qb_win "$W/qbprobe.exe")
probe=${probe//\\/\\\\}
cat >"$m/m.toml" <<TOML
[app]
name = "QB Uninstall Test"
version = "3.2.1"
publisher = "Quillbox Tests"
url = "https://example.org/qb"
destination = "C:\\\\QBU"
group = "QB Uninstall Group"

[pictures]
header = "header.bmp"

[[files]]
source = "bin/*"

[[files]]
source = "sub/**"
destination = "{app}\\\\sub"

[[files]]
source = "held.dat"

[[files]]
source = "qbuninst.ttf"
destination = "{fonts}"

[[folders]]
path = "{app}\\\\data\\\\cache"

[[registry]]
root = "HKCU"
key = "Software\\\\QB Uninstall Vendor\\\\App\\\\Settings"
name = "Str"
value = "{app}"

[[registry]]
root = "HKCU"
key = "Software\\\\QB Uninstall Vendor\\\\App"
name = "Count"
type = "dword"
value = 7

[[registry]]
root = "HKCR"
key = ".qbuninst"
value = "QBUninst.Document"

[[registry]]
root = "HKCU"
key = "Software\\\\QB Uninstall Kept"
name = "Stays"
value = "1"
uninstall = false

[[ini]]
file = "{app}\\\\conf\\\\app.ini"
section = "Main"
key = "dir"
value = "{app}"

[[ini]]
file = "C:\\\\shared\\\\shared.ini"
section = "Other"
key = "ours"
value = "1"

[[shortcuts]]
location = "desktop"
name = "QBU Desktop"
target = "{app}\\\\qbprobe.exe"

[[shortcuts]]
location = "group"
name = "QBU Group"
target = "{app}\\\\qbprobe.exe"

[[shortcuts]]
location = "startmenu"
name = "QBU Start"
target = "{app}\\\\qbprobe.exe"

[[fonts]]
name = "QB Uninstall Sans (TrueType)"
file = "{fonts}\\\\qbuninst.ttf"

[[components]]
file = "{app}\\\\regmarker.dll"

[[programs]]
file = "{app}\\\\qbprobe.exe"
parameters = "$markers\\\\before.txt {app}\\\\regmarker.dll"
when = "uninstall-start"
wait = true

[[programs]]
file = "$probe"
parameters = "$markers\\\\after.txt C:\\\\QBU\\\\regmarker.dll"
when = "uninstall-end"
wait = true
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null

C=$WINEPREFIX/drive_c
mkdir -p "$C/shared"
printf '[Keep]\r\nmine=1\r\n' >"$C/shared/shared.ini"
ARP='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QB Uninstall Test'

# What the prefix holds, to compare before and after: every file and
# folder but the temporary ones, and every registry key and value below
# Software (classes included) with the times of their last change left out.
# Wine keeps a few keys of its own up to date while programs run (its own
# settings, the font list it builds from the fonts it finds, the shell's
# state, network cards): those are left out.
snapshot() {
  wineserver -w
  (cd "$C" && find . -path './users/*/Temp' -prune -o -print | grep -v '^./users/[^/]*/Temp$' |
    sort) >"$1.files"
  cat "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | grep -v '^#time=' | grep -v '^$' |
    sed 's/^\(\[.*\]\) [0-9]*$/\1/' |
    awk '/^\[/{skip = ($0 !~ /^\[Software\\\\/ || $0 ~ /Software\\\\Wine|Explorer|\\\\Fonts\]|FontSubstitutes|NetworkCards|ShellNoRoam/)} !skip' \
      >"$1.reg"
}

snapshot "$QB_TMP/before"

# --- 1: silent removal through QuietUninstallString -------------------------
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" /S)" 0 "silent installation"
wineserver -w
[ -f "$C/QBU/uninstall.exe" ] && [ -f "$C/QBU/uninstall.log" ] || fail "uninstaller or log missing"
# The log's fingerprint, without which the uninstaller runs no program.
qb_fingerprint_log "$ARP" "$C/QBU/uninstall.log"
[ -f "$C/QBU/regmarker.dll.registered" ] || fail "the component was not registered"
[ -f "$C/users/Public/Desktop/QBU Desktop.lnk" ] || fail "desktop shortcut missing (all users' desktop)"
info=$(wine "$W/qbfileinfo.exe" 'C:\QBU\uninstall.exe' | tr -d '\r')
grep -qx 'level=requireAdministrator' <<<"$info" ||
  fail "the uninstaller of a per-machine package does not ask for elevation: $info"

query() { wine reg query "$ARP" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1  *REG_[A-Z_]*  *//p"; }
expect_eq "$(query DisplayName)" "QB Uninstall Test" "DisplayName"
expect_eq "$(query DisplayVersion)" "3.2.1" "DisplayVersion from the manifest"
expect_eq "$(query Publisher)" "Quillbox Tests" "Publisher"
expect_eq "$(query URLInfoAbout)" "https://example.org/qb" "URLInfoAbout"
expect_eq "$(query InstallLocation)" 'C:\QBU' "InstallLocation"
expect_eq "$(query DisplayIcon)" 'C:\QBU\uninstall.exe' "DisplayIcon"
expect_eq "$(query UninstallString)" '"C:\QBU\uninstall.exe"' "UninstallString"
expect_eq "$(query NoModify)" 0x1 "NoModify"
expect_eq "$(query NoRepair)" 0x1 "NoRepair"
# The uninstaller counts as the tool packed it (its resources rewritten for
# the package's execution level): the installed copy up to the end of its
# last section, before the trailer the installer appends to it.
packed_uninstaller=$(python3 - "$C/QBU/uninstall.exe" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", d, 0x3C)[0]
count, optional = struct.unpack_from("<H", d, pe + 6)[0], struct.unpack_from("<H", d, pe + 20)[0]
table = pe + 24 + optional
print(max(sum(struct.unpack_from("<II", d, table + 40 * i + 16)) for i in range(count)))
PY
)
payload=$packed_uninstaller
for f in "$m/bin/qbprobe.exe" "$m/bin/regmarker.dll" "$m/sub/deeper/data.txt" "$m/held.dat" \
  "$m/qbuninst.ttf"; do
  payload=$((payload + $(stat -c %s "$f")))
done
size_kib=$(($(query EstimatedSize)))
diff=$((size_kib * 1024 - payload))
[ "${diff#-}" -lt 1024 ] || fail "EstimatedSize $size_kib KiB for a payload of $payload bytes"
echo "ok: EstimatedSize $size_kib KiB for $payload bytes"

quiet=$(query QuietUninstallString)
expect_eq "$quiet" '"C:\QBU\uninstall.exe" /S' "QuietUninstallString"
# Run exactly as written, as a deployment tool would.
expect_eq "$(qb_exit_code --command "$quiet")" 0 "the quiet uninstall string removes silently"
[ "$(cat "$QB_TMP/markers/before.txt")" = exists ] ||
  fail "the before-removal program did not run first"
[ "$(cat "$QB_TMP/markers/after.txt")" = missing ] ||
  fail "the after-removal program did not run after the files went"
rm -f "$QB_TMP/markers/"*
[ ! -e "$C/QBU" ] || fail "C:\\QBU is still there: $(cd "$C/QBU" && find . | tr '\n' ' ')"
echo "ok: the application folder, the uninstaller and its log are gone"
ls "$U/Temp"/qbu*.tmp >/dev/null 2>&1 && fail "the uninstaller's temporary copy is left"
echo "ok: no temporary copy is left"
printf '[Keep]\r\nmine=1\r\n' | cmp -s - "$C/shared/shared.ini" ||
  fail "shared.ini changed: $(cat -A "$C/shared/shared.ini")"
echo "ok: an INI file shared with others keeps what was not ours"
snapshot "$QB_TMP/after"
# The value that asked to stay, and its key, are the one difference.
grep -v 'QB Uninstall Kept\|"Stays"' "$QB_TMP/after.reg" >"$QB_TMP/after-kept.reg"
grep -q '"Stays"="1"' "$QB_TMP/after.reg" || fail "the value kept at uninstall is gone"
diff -u "$QB_TMP/before.reg" "$QB_TMP/after-kept.reg" || fail "the registry differs"
echo "ok: the registry is as before, but for the value kept on purpose"
diff -u "$QB_TMP/before.files" "$QB_TMP/after.files" || fail "the file tree differs"
echo "ok: the file tree is as before"

# --- 2: a user's file, a changed file and a file in use ----------------------
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" /S)" 0 "second installation"
wineserver -w
qb_fingerprint_log "$ARP" "$C/QBU/uninstall.log"
echo "mine" >"$C/QBU/notes.txt"
# The uninstaller takes a file written after its log for the user's. The
# change comes once the clock reads later than the log's time (where the
# file system keeps coarse times, a change in the same tick would not count).
after_log() {
  touch "$QB_TMP/now"
  [ "$QB_TMP/now" -nt "$C/QBU/uninstall.log" ]
}
qb_wait_until 5 after_log || fail "the clock does not pass the log's time"
echo "changed by the user" >>"$C/QBU/sub/deeper/data.txt"
[ "$C/QBU/sub/deeper/data.txt" -nt "$C/QBU/uninstall.log" ] || fail "the changed file is not newer than the log"
wine "$W/qbhold.exe" 'C:\QBU\held.dat' "$(qb_win "$QB_TMP/markers/held")" 60000 &
holder=$!
qb_wait_file "$QB_TMP/markers/held" || fail "the file was not held"
expect_eq "$(qb_exit_code 'C:\QBU\uninstall.exe' /S)" 3010 "a file in use needs a restart (3010)"
pending=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
  /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
grep -qi 'QBU\\held.dat' <<<"$pending" || fail "no pending removal of held.dat: $pending"
echo "ok: the file in use is removed at the next restart"
[ -f "$C/QBU/notes.txt" ] || fail "the user's file was removed"
grep -q "changed by the user" "$C/QBU/sub/deeper/data.txt" || fail "the changed file was removed"
echo "ok: the user's added and changed files stay, with their folders"
[ ! -e "$C/QBU/qbprobe.exe" ] && [ ! -e "$C/QBU/uninstall.exe" ] && [ ! -e "$C/QBU/uninstall.log" ] ||
  fail "installed files were left: $(cd "$C/QBU" && find . | tr '\n' ' ')"
[ ! -e "$C/QBU/data" ] || fail "the empty folder data\\cache was left"
echo "ok: everything else of the installation is gone"
kill "$holder" 2>/dev/null || true
wineserver -k
rm -rf "$C/QBU"
rm -f "$QB_TMP/markers/"*

# --- 3: through the window: Cancel keeps everything, Remove removes -------
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" /S)" 0 "third installation"
wineserver -w
qb_fingerprint_log "$ARP" "$C/QBU/uninstall.log"
T="Uninstall QB Uninstall Test"
wine 'C:\QBU\uninstall.exe' &
pid=$!
qb_drive wait "$T" 20000 TQuillboxUninstall || fail "no uninstaller window"
dump=$(qb_wait_controls "$T" TQuillboxUninstall 20 '|&Remove|visible=1|enabled=1') ||
  fail "the uninstaller shows no Remove button"
for want in '|Ready to Remove|visible=1' '|Remove QB Uninstall Test|visible=1' \
  '|&Remove|visible=1|enabled=1' '|Cancel|visible=1|enabled=1' '|< &Back|visible=1|enabled=0'; do
  grep -qF -- "$want" <<<"$dump" || fail "the question page lacks $want: $dump"
done
echo "ok: the question page asks before anything is removed"
qb_drive click "$T" Cancel TQuillboxUninstall
qb_wait_exit $pid
expect_eq "$((QB_RC))" 2 "Cancel ends with exit code 2"
wineserver -w
[ -f "$C/QBU/uninstall.exe" ] && [ -f "$C/QBU/qbprobe.exe" ] || fail "Cancel removed something"
echo "ok: Cancel removes nothing"

wine 'C:\QBU\uninstall.exe' &
pid=$!
qb_drive wait "$T" 20000 TQuillboxUninstall || fail "no uninstaller window the second time"
qb_wait_controls "$T" TQuillboxUninstall 20 '|&Remove|visible=1|enabled=1' >/dev/null ||
  fail "the uninstaller shows no Remove button the second time"
qb_drive click "$T" Remove TQuillboxUninstall
dump=$(qb_wait_controls "$T" TQuillboxUninstall 60 '|&Finish|visible=1|enabled=1') ||
  fail "the removal did not come to its end"
grep -qF 'QB Uninstall Test has been removed from your computer.' <<<"$dump" ||
  fail "no summary: $dump"
qb_drive click "$T" Finish TQuillboxUninstall
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "Remove and Finish end with exit code 0"
wineserver -w
[ ! -e "$C/QBU" ] || fail "C:\\QBU is still there after removal through the window"
echo "ok: removal through the window leaves nothing"
