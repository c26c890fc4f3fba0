#!/usr/bin/env bash
# The uninstaller acts only on the log its installation wrote. With the log's
# fingerprint in the Add/Remove Programs entry, a log with an added line
# (deleting C:\windows\win.ini, an unrelated HKCU value, running a program),
# a one-letter change inside it, or a renamed section ([f] -> [g]) is refused:
# exit code 1, nothing removed. Without a fingerprint (an older installer's
# installation) the same added line is refused because it lies outside what
# the installation made, and the untampered log removes everything but runs
# no program. The untampered log of a fingerprinted installation removes
# everything, for a per-machine package (entry below HKLM) and a per-user one
# (entry below HKCU). The temporary copy runs from a new folder below
# C:\windows\temp (Wine's user holds administrator rights), and an original
# whose copy is killed reports exit code 4.
source "$(dirname "$0")/lib.sh"
qb_begin
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

m=$QB_TMP/m
W=$QB_WIN/tests/win
U=$(qb_user_dir)
C=$WINEPREFIX/drive_c
mkdir -p "$m/bin" "$m/sub/deeper" "$QB_TMP/markers"
cp "$W/qbprobe.exe" "$m/bin/"
echo "a" >"$m/bin/a.txt"
echo "data" >"$m/sub/deeper/data.txt"
markers=$(qb_win "$QB_TMP/markers")
markers=${markers//\\/\\\\}
cat >"$m/m.toml" <<TOML
[app]
name = "QB Trust Test"
version = "1.0"
destination = "C:\\\\QBT"

[[files]]
source = "bin/*"

[[files]]
source = "sub/**"
destination = "{app}\\\\sub"

[[registry]]
root = "HKCU"
key = "Software\\\\QB Trust Vendor\\\\App"
name = "Dir"
value = "{app}"

[[shortcuts]]
location = "desktop"
name = "QBT Desktop"
target = "{app}\\\\qbprobe.exe"

[[programs]]
file = "{app}\\\\qbprobe.exe"
parameters = "$markers\\\\before.txt {app}\\\\a.txt"
when = "uninstall-start"
wait = true
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null

ARP='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QB Trust Test'
LOG=$C/QBT/uninstall.log
T="Uninstall QB Trust Test"
probe='C:\QBT\qbprobe.exe'
# A value that is not the package's, which an added log line names.
wine reg add 'HKCU\Software\QB Trust Other' /v Mine /t REG_SZ /d 1 /f >/dev/null

install() {
  rm -f "$QB_TMP/markers/"*
  expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" /S)" 0 "$1"
  wineserver -w
  [ -f "$C/QBT/uninstall.exe" ] && [ -f "$LOG" ] || fail "uninstaller or log missing"
  cp -p "$LOG" "$QB_TMP/log.orig"
}

# Changes the installed log. Operations, one after the other:
#   file PATH                 a line more in [f] (its count in [s] too)
#   registry ROOT KEY NAME    a registry section more (and its count)
#   program FILE PARAMETERS   a program to run first (and its count)
#   replace OLD NEW           a text replaced, "|" standing for CR LF
tamper() {
  python3 - "$LOG" "$@" <<'PY'
import re, sys
path, ops = sys.argv[1], sys.argv[2:]
text = open(path, 'rb').read().decode('cp1252')

def bump(key):
    global text
    pattern = '\r\n%d=(\\d+)\r\n' % key
    n = int(re.search(pattern, text).group(1))
    text = re.sub(pattern, '\r\n%d=%d\r\n' % (key, n + 1), text, count=1)

while ops:
    op = ops.pop(0)
    if op == 'file':
        at = text.index('[e]\r\n')
        text = text[:at] + '99=%s\r\n' % ops.pop(0) + text[at:]
        bump(39)
    elif op == 'registry':
        root, key, name = ops.pop(0), ops.pop(0), ops.pop(0)
        at = text.index('[s]\r\n')
        text = text[:at] + '[r99]\r\n0=%s\r\n1=%s\r\n2=%s\r\n' % (root, key, name) + text[at:]
        bump(43)
    elif op == 'program':
        file, params = ops.pop(0), ops.pop(0)
        at = text.index('[s]\r\n')
        text = text[:at] + '[b99]\r\n0=%s\r\n1=%s\r\n2=1\r\n3=1\r\n' % (file, params) + text[at:]
        bump(45)
    elif op == 'replace':
        old, new = ops.pop(0).replace('|', '\r\n'), ops.pop(0).replace('|', '\r\n')
        assert old in text, old
        text = text.replace(old, new, 1)
open(path, 'wb').write(text.encode('cp1252'))
PY
}
restore_log() { cp -p "$QB_TMP/log.orig" "$LOG"; }

# Everything the installation made is still there, and nothing else went.
nothing_removed() {
  local f
  for f in QBT/qbprobe.exe QBT/a.txt QBT/sub/deeper/data.txt QBT/uninstall.exe QBT/uninstall.log \
    windows/win.ini; do
    [ -f "$C/$f" ] || fail "$1: $f was removed"
  done
  [ -f "$C/users/Public/Desktop/QBT Desktop.lnk" ] || fail "$1: the shortcut was removed"
  expect_eq "$(qb_reg_value 'HKCU\Software\QB Trust Vendor\App' Dir)" 'C:\QBT' "$1: the package's value stays"
  expect_eq "$(qb_reg_value 'HKCU\Software\QB Trust Other' Mine)" 1 "$1: the unrelated value stays"
  expect_eq "$(qb_reg_value "$ARP" DisplayName)" "QB Trust Test" "$1: the Add/Remove Programs entry stays"
  [ ! -e "$QB_TMP/markers/before.txt" ] || fail "$1: the log's program ran"
  [ ! -e "$QB_TMP/markers/added.txt" ] || fail "$1: the added program ran"
}

# Everything the installation made is gone; the unrelated value stays.
all_removed() {
  [ ! -e "$C/QBT" ] || fail "$1: C:\\QBT is still there: $(cd "$C/QBT" && find . | tr '\n' ' ')"
  [ ! -e "$C/users/Public/Desktop/QBT Desktop.lnk" ] || fail "$1: the shortcut is still there"
  [ -f "$C/windows/win.ini" ] || fail "$1: win.ini went"
  wine reg query 'HKCU\Software\QB Trust Vendor' >/dev/null 2>&1 && fail "$1: the package's key is still there"
  wine reg query "$ARP" >/dev/null 2>&1 && fail "$1: the Add/Remove Programs entry is still there"
  expect_eq "$(qb_reg_value 'HKCU\Software\QB Trust Other' Mine)" 1 "$1: the unrelated value stays"
}

no_copy_left() {
  ! compgen -G "$C/windows/temp/qbu-*" >/dev/null && ! compgen -G "$U/Temp/qbu-*" >/dev/null
}

silent_uninstall() { qb_exit_code 'C:\QBT\uninstall.exe' /S; }

# Starts the uninstaller with its window, waits for its error message and
# puts the message's text in MESSAGE; the message is then closed, and the
# uninstaller's exit code is in QB_RC.
refusal_message() {
  wine 'C:\QBT\uninstall.exe' &
  local pid=$!
  qb_drive wait Uninstall 20000 '#32770' || fail "no message from the uninstaller"
  MESSAGE=$(qb_drive text Uninstall '#32770' | tr -d '\r')
  qb_drive click Uninstall OK '#32770'
  qb_wait_exit $pid
}

# --- a fingerprinted installation -------------------------------------------
install "installation"
qb_fingerprint_log "$ARP" "$LOG"

# (a) A line added to each of [f], [r] and [b], counts kept in step.
tamper file 'C:\windows\win.ini' registry 1 'Software\QB Trust Other' Mine \
  program "$probe" "$(qb_win "$QB_TMP/markers/added.txt") C:\\windows\\win.ini"
expect_eq "$(silent_uninstall)" 1 "(a) a log with added lines is refused with exit code 1"
wineserver -w
nothing_removed "(a)"
restore_log

# (a) One letter of a text changed: inside every bound, but not the log the
# installation wrote.
tamper replace '|0=' '|0=X'
expect_eq "$(silent_uninstall)" 1 "(a) a log with one letter changed is refused"
wineserver -w
nothing_removed "(a, one letter)"
restore_log

# (b) [f] renamed [g]: the files would be passed over and the entry removed.
tamper replace '[f]' '[g]'
expect_eq "$(silent_uninstall)" 1 "(b) a log with [f] made [g] is refused"
wineserver -w
nothing_removed "(b)"
refusal_message
expect_eq "$((QB_RC))" 1 "(b) the refusal through the window ends with exit code 1"
grep -q "missing or damaged, so nothing was removed" <<<"$MESSAGE" || fail "(b) message: $MESSAGE"
echo "ok: (b) a visible run says that nothing was removed"
wineserver -w
nothing_removed "(b, window)"
restore_log
no_copy_left || fail "a refused run left its temporary copy: $(ls "$C/windows/temp" "$U/Temp")"
echo "ok: refused runs leave no temporary copy"

# --- the same installation as an older installer left it: no fingerprint ----
wine reg delete "$ARP" /v QuillboxLogSize /f >/dev/null
wine reg delete "$ARP" /v QuillboxLogSha256 /f >/dev/null
tamper file 'C:\windows\win.ini'
refusal_message
expect_eq "$((QB_RC))" 1 "(a) without a fingerprint, a file outside the installation refuses the log"
grep -qF 'names the file "C:\windows\win.ini", which lies outside' <<<"$MESSAGE" ||
  fail "message: $MESSAGE"
echo "ok: the message names the line outside"
wineserver -w
nothing_removed "(a, no fingerprint)"
restore_log
tamper replace '|1=Software\QB Trust Vendor\App|' '|1=System\CurrentControlSet\Control|'
expect_eq "$(silent_uninstall)" 1 "without a fingerprint, a value in the system's tree refuses the log"
wineserver -w
nothing_removed "(system tree, no fingerprint)"
restore_log
expect_eq "$(silent_uninstall)" 0 "without a fingerprint, the untampered log is removed"
wineserver -w
all_removed "(no fingerprint)"
[ ! -e "$QB_TMP/markers/before.txt" ] || fail "a program of a log without a fingerprint ran"
echo "ok: a log without a fingerprint runs no program"

# --- (c) the untampered, fingerprinted log removes everything ---------------
install "second installation"
qb_fingerprint_log "$ARP" "$LOG"
expect_eq "$(silent_uninstall)" 0 "(c) the untampered log is removed with exit code 0"
wineserver -w
all_removed "(c)"
expect_eq "$(cat "$QB_TMP/markers/before.txt" 2>/dev/null)" exists \
  "(c) the program to run first ran, before the files went"
no_copy_left || fail "(c) the temporary copy or its folder is left"
echo "ok: (c) no temporary copy or folder is left"

# --- (d) the copy is killed: the original reports 4 -------------------------
install "third installation"
qb_fingerprint_log "$ARP" "$LOG"
qb_exit_code 'C:\QBT\uninstall.exe' >"$QB_TMP/killed.code" &
runner=$!
qb_drive wait "$T" 20000 TQuillboxUninstall || fail "no uninstaller window"
copies=$({ compgen -G "$C/windows/temp/qbu-*/quillbox-uninstall.exe" || true; } | wc -l)
expect_eq "$copies" 1 "the copy runs from a new folder of its own in C:\\windows\\temp"
compgen -G "$U/Temp/qbu-*" >/dev/null && fail "a copy is in the user's temporary folder"
wine taskkill /F /IM quillbox-uninstall.exe >/dev/null 2>&1 || fail "taskkill failed"
qb_wait_exit $runner
expect_eq "$(tr -d '\r' <"$QB_TMP/killed.code")" 4 "(d) a killed copy makes the original report 4"
qb_wait_until 30 no_copy_left || fail "(d) the killed copy's folder is left"
echo "ok: (d) the original removes the killed copy's folder"
wineserver -w
nothing_removed "(d)"

# --- a per-user package: its entry, and so its fingerprint, is below HKCU ---
cat >"$m/user.toml" <<TOML
[app]
name = "QB Trust User"
version = "1.0"
destination = "C:\\\\QBTU"
privileges = "user"

[[files]]
source = "bin/a.txt"
TOML
qb_tool build "$m/user.toml" -o "$QB_TMP/user-setup.exe" >/dev/null
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/user-setup.exe")" /S)" 0 "per-user installation"
wineserver -w
ARP_USER='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QB Trust User'
qb_fingerprint_log "$ARP_USER" "$C/QBTU/uninstall.log"
cp -p "$C/QBTU/uninstall.log" "$QB_TMP/user-log.orig"
# One byte more: every other check passes, the fingerprint does not.
printf '\r\n' >>"$C/QBTU/uninstall.log"
expect_eq "$(qb_exit_code 'C:\QBTU\uninstall.exe' /S)" 1 \
  "a per-user log with a line more is refused by its fingerprint below HKCU"
wineserver -w
[ -f "$C/QBTU/a.txt" ] && [ -f "$C/windows/win.ini" ] || fail "the refused per-user log removed something"
cp -p "$QB_TMP/user-log.orig" "$C/QBTU/uninstall.log"
expect_eq "$(qb_exit_code 'C:\QBTU\uninstall.exe' /S)" 0 "the per-user log is removed"
wineserver -w
[ ! -e "$C/QBTU" ] || fail "C:\\QBTU is still there"
wine reg query "$ARP_USER" >/dev/null 2>&1 && fail "the per-user entry is still there"
echo "ok: the per-user installation is gone, with its entry"
