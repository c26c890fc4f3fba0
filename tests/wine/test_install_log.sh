#!/usr/bin/env bash
# The installation log (/LOG=) and unattended runs (/NP): the log names the
# files, registry values, INI entries and shortcuts and the exit code; a run
# killed in the middle of its files leaves a log up to that point; with /NP a
# silent run that meets an "ask" rule and a missing volume answers both
# itself, says so in the log and ends with exit code 3 without waiting.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
C=$WINEPREFIX/drive_c
mkdir -p "$m/app" "$m/big"
echo "alpha" >"$m/app/a.txt"
echo "beta" >"$m/app/b.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Log Test"
version = "1"
destination = "C:\\LogTest"
[uninstall]
enabled = false
[[files]]
source = "app/*"
[[registry]]
root = "HKCU"
key = "Software\\QB Log Test"
name = "Where"
value = "{app}"
[[ini]]
file = "{app}\\log.ini"
section = "Main"
key = "k"
value = "v"
[[shortcuts]]
location = "path"
name = "{app}\\A.lnk"
target = "{app}\\a.txt"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null

expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" /S '/LOG=C:\x\log.txt')" 0 "silent run with a log"
log=$C/x/log.txt
[ -f "$log" ] || fail "no log at C:\\x\\log.txt"
for want in 'Quillbox setup ' 'command line: ' 'package: Log Test 1 Setup, silent' \
  'stage: files' 'file written: C:\LogTest\a.txt' 'file written: C:\LogTest\b.txt' \
  'registry: HKCU\Software\QB Log Test value "Where" = C:\LogTest' \
  'INI: C:\LogTest\log.ini [Main] k = v' 'shortcut: C:\LogTest\A.lnk -> C:\LogTest\a.txt' \
  'exit code 0'; do
  grep -qF -- "$want" "$log" || fail "the log lacks \"$want\": $(cat "$log")"
done
echo "ok: the log names the files, the registry value, the INI entry, the shortcut and the exit code"
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" /S '/LOG=C:\x\again.txt')" 0 "second run"
grep -qF 'file replaced: C:\LogTest\a.txt' "$C/x/again.txt" || fail "a replaced file is not logged as such"
echo "ok: a replaced file is logged as replaced"

# Killed in the middle of its files (while an "ask" question waits): the
# log holds everything up to there.
mkdir -p "$m/killed" "$C/Killed"
head -c 2000000 /dev/urandom >"$m/killed/1-first.bin"
echo "second" >"$m/killed/2-second.txt"
echo "there before" >"$C/Killed/2-second.txt"
cat >"$m/killed.toml" <<'TOML'
[app]
name = "Killed Log"
version = "1"
destination = "C:\\Killed"
[uninstall]
enabled = false
[[files]]
source = "killed/*"
overwrite = "ask"
TOML
qb_tool build "$m/killed.toml" -o "$QB_TMP/killed.exe" >/dev/null
wine "$QB_TMP/killed.exe" /S '/LOG=C:\x\killed.txt' &
pid=$!
qb_drive wait "Killed Log 1 Setup" 30000 TQuillboxReplaceFile || fail "no question to kill the run at"
wineserver -k
wait $pid 2>/dev/null || true
for want in 'stage: files' 'file written: C:\Killed\1-first.bin' \
  'question: replace C:\Killed\2-second.txt?'; do
  grep -qF -- "$want" "$C/x/killed.txt" || fail "the killed run's log lacks \"$want\""
done
grep -q 'exit code' "$C/x/killed.txt" && fail "the run was not killed before its end"
echo "ok: a run killed during its files leaves its log up to there"

# Unattended: an "ask" rule and a missing volume.
head -c 300000 /dev/urandom >"$m/big/vol.bin"
echo "existing" >"$m/ask.txt"
cat >"$m/np.toml" <<'TOML'
[app]
name = "Unattended"
version = "1"
destination = "C:\\Unattended"
[uninstall]
enabled = false
[package]
compression = "none"
cabinet_size = 65536
volume_size = 131072
[[files]]
source = "ask.txt"
overwrite = "ask"
[[files]]
source = "big/vol.bin"
TOML
qb_tool build "$m/np.toml" -o "$QB_TMP/np.exe" >/dev/null
rm -f "$QB_TMP"/np-setup-2.bin "$QB_TMP"/np-2.bin "$QB_TMP"/*-2.*
mkdir -p "$C/Unattended"
echo "the user's own" >"$C/Unattended/ask.txt"
start=$(date +%s)
rc=$(timeout 60 wine "$QB_WIN/tests/win/qbexit.exe" "$(qb_win "$QB_TMP/np.exe")" /S /NP '/LOG=C:\x\np.txt' | tr -d '\r') ||
  fail "the unattended run waited for an answer"
expect_eq "$rc" 3 "unattended run with a missing volume ends with exit code 3"
[ $(($(date +%s) - start)) -lt 50 ] || fail "the unattended run took too long"
grep -q "the user's own" "$C/Unattended/ask.txt" || fail "the ask rule replaced the file"
for want in 'question: replace C:\Unattended\ask.txt?' \
  'answered No: the existing file is kept (unattended, not shown)' \
  'file C:\Unattended\ask.txt kept: the answer was not to replace it' \
  'volume 2 is missing' 'answered Cancel (unattended, not shown)' 'installation abandoned' \
  'exit code 3'; do
  grep -qF -- "$want" "$C/x/np.txt" || fail "the unattended log lacks \"$want\": $(cat "$C/x/np.txt")"
done
echo "ok: the unattended run kept the file, gave up on the volume and said so in the log"
