#!/usr/bin/env bash
# What the installer starts and what it writes down:
# (a) the installation log never holds the password given with /PW=, in
#     whatever case or quoting;
# (b) programs from the package (the program list's records before and after
#     the files, the Finish page's program and readme) whose paths hold
#     blanks start themselves, never a program planted at a shorter part of
#     the path (C:\Trap.exe for C:\Trap Dir\...);
# (c) "test" starts quillbox.exe from the folder above the installer's own,
#     not from the folder above the current one;
# (d) a 40 MB license is shown in bounded memory.
source "$(dirname "$0")/lib.sh"
qb_begin

C=$WINEPREFIX/drive_c
MARKER=$QB_WIN/tests/win/qbmarker.exe

# (a) The password stays out of the log.
m=$QB_TMP/pw
mkdir -p "$m/app"
echo "hello" >"$m/app/a.txt"
pw='Wh1sper s3cret'
cat >"$m/m.toml" <<TOML
[app]
name = "Password Log"
version = "1"
destination = "C:\\\\PwLog"
password = "$pw"
[uninstall]
enabled = false
[[files]]
source = "app/*"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/pw.exe" >/dev/null
n=0
# wine hands "/PW=Wh1sper s3cret" over in quotes, as the blank needs.
for option in "/PW=$pw" "/pw=$pw" "/Pw=$pw"; do
  n=$((n + 1))
  rm -rf "$C/PwLog"
  expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/pw.exe")" /S "/LOG=C:\\logs\\pw$n.txt" "$option")" 0 \
    "silent run with the password as ${option%%=*}="
  log=$C/logs/pw$n.txt
  [ -f "$C/PwLog/a.txt" ] || fail "the password was not taken: nothing installed"
  grep_q -F 'command line: ' "$log" || fail "the log has no command line: $(cat "$log")"
  grep_q -F '/PW=********' "$log" || fail "the log does not show the password option masked: $(cat "$log")"
  for secret in Wh1sper s3cret; do
    ! grep_q -F "$secret" "$log" || fail "the log holds the password ($option): $(cat "$log")"
  done
  echo "ok: the log of ${option%%=*}= shows /PW=******** and not the password"
done

# (b) Paths with blanks, and a trap at every shorter part of them; one
# program of the list is missing, which must start nothing else either.
m=$QB_TMP/launch
mkdir -p "$m/app/Sub Dir" "$QB_TMP/src/Sub Dir"
for name in tool finish "read me"; do cp "$MARKER" "$m/app/Sub Dir/$name.exe"; done
cp "$MARKER" "$QB_TMP/src/Sub Dir/early.exe"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Launch Test"
version = "1"
title = "Launch Test"
destination = "C:\\Trap Dir\\App"
[uninstall]
enabled = false
[settings]
program_to_run = "{app}\\Sub Dir\\finish.exe /finish"
readme_document = "{app}\\Sub Dir\\read me.exe"
readme_checked = true
[[files]]
source = "app/**"
[[programs]]
file = "{src}\\Sub Dir\\early.exe"
when = "install-start"
wait = true
[[programs]]
file = "{app}\\Sub Dir\\tool.exe"
when = "install-end"
wait = true
[[programs]]
file = "{app}\\Sub Dir\\gone.exe"
when = "install-end"
wait = true
[[programs]]
file = "{app}\\Sub Dir\\tool.exe"
parameters = "/with parameters"
when = "install-end"
wait = true
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/src/setup.exe" >/dev/null
# The traps: what a command line split at its first blanks would start.
traps=("$C/Trap.exe" "$C/Trap Dir/App/Sub.exe" "$C/Trap Dir/App/Sub Dir/read.exe" "$QB_TMP/src/Sub.exe")
for trap in "${traps[@]}"; do
  mkdir -p "$(dirname "$trap")"
  cp "$MARKER" "$trap"
done
# The traps work: an unquoted command line does start them.
wine cmd /c 'C:\Trap Dir\App\x.exe' >/dev/null 2>&1 || true
qb_wait_file "$C/Trap.exe.ran" 30 || fail "the trap C:\\Trap.exe does not start for an unquoted path"
rm -f "$C/Trap.exe.ran"
echo "ok: an unquoted C:\\Trap Dir\\... starts the trap C:\\Trap.exe"

T="Launch Test"
# On the Finish page, the run box must be ticked.
run_box_ticked() {
  grep -q '^control|Button|102|&Finish|' <<<"$QB_PAGE" || return 0
  grep -q '|Run Launch Test now|visible=1|enabled=1|checked=1' <<<"$QB_PAGE" ||
    fail "the run box is not ticked: $QB_PAGE"
}
wine "$QB_TMP/src/setup.exe" '/LOG=C:\logs\launch.txt' &
pid=$!
qb_walk_wizard "$T" run_box_ticked
qb_wait_exit $pid
expect_eq "$QB_RC" 0 "the wizard run's exit code"
app="$C/Trap Dir/App/Sub Dir"
for ran in "$QB_TMP/src/Sub Dir/early.exe.ran" "$app/tool.exe.ran" "$app/finish.exe.ran" \
  "$app/read me.exe.ran"; do
  qb_wait_file "$ran" 30 || fail "$(basename "${ran%.ran}") did not start"
done
echo "ok: the programs before and after the files, the Finish page's program and readme started"
grep_q -F -- '/finish' "$app/finish.exe.ran" || fail "the Finish page's program lost its parameter: $(cat "$app/finish.exe.ran")"
echo "ok: the Finish page's program got its parameter"
log=$C/logs/launch.txt
for want in 'program started: C:\Trap Dir\App\Sub Dir\tool.exe (waited for)' \
  'program started: C:\Trap Dir\App\Sub Dir\tool.exe /with parameters (waited for)' \
  'program could not start: C:\Trap Dir\App\Sub Dir\gone.exe (waited for)' \
  'started: C:\Trap Dir\App\Sub Dir\finish.exe /finish' \
  'opened: C:\Trap Dir\App\Sub Dir\read me.exe'; do
  grep_q -F -- "$want" "$log" || fail "the log lacks \"$want\": $(cat "$log")"
done
echo "ok: the log names each start"
# Every program of the run has ended: none of them started a trap.
wineserver -w
for trap in "${traps[@]}"; do
  [ ! -e "$trap.ran" ] || fail "the planted $trap ran: $(cat "$trap.ran")"
done
echo "ok: no planted program at a shorter part of a path ran"

# (c) "test" resolves against the installer's folder.
mkdir -p "$QB_TMP/inst/app" "$QB_TMP/cwd/sub"
cp "$QB_STUB" "$QB_TMP/inst/app/setup.exe"
cp "$MARKER" "$QB_TMP/inst/quillbox.exe"
cp "$MARKER" "$QB_TMP/cwd/quillbox.exe"
rc=0
(cd "$QB_TMP/cwd/sub" && wine "$QB_TMP/inst/app/setup.exe" test) || rc=$?
expect_eq "$rc" 0 "test mode from another folder: exit code"
qb_wait_file "$QB_TMP/inst/quillbox.exe.ran" 30 || fail "quillbox.exe above the installer did not start"
echo "ok: quillbox.exe above the installer's folder started"
wineserver -w
[ ! -e "$QB_TMP/cwd/quillbox.exe.ran" ] || fail "quillbox.exe above the current folder started"
echo "ok: quillbox.exe above the current folder did not start"
# No tool above the installer: nothing starts and the exit code says so.
rm -f "$QB_TMP/inst/quillbox.exe" "$QB_TMP/inst/quillbox.exe.ran"
rc=0
(cd "$QB_TMP/cwd/sub" && wine "$QB_TMP/inst/app/setup.exe" test) || rc=$?
expect_eq "$rc" 1 "test mode without the tool: exit code"
wineserver -w
[ ! -e "$QB_TMP/cwd/quillbox.exe.ran" ] || fail "a missing tool started quillbox.exe above the current folder"
echo "ok: without the tool nothing starts"

# (d) A 40 MB license: the wizard comes up, shows the license's beginning,
# and the installer's peak memory stays far below what the whole text would
# take in the rich-edit control (some 2.5 GB).
m=$QB_TMP/big
mkdir -p "$m/app"
echo "hello" >"$m/app/a.txt"
# (yes ends on the closed pipe)
(yes 'Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod.' || true) |
  head -c $((40 << 20)) >"$m/license.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Big License"
version = "1"
title = "Big License"
destination = "C:\\BigLicense"
license = "license.txt"
[uninstall]
enabled = false
[[files]]
source = "app/*"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/big.exe" >/dev/null
wine "$QB_TMP/big.exe" &
pid=$!
shown=false
for _ in $(seq 60); do
  kill -0 $pid 2>/dev/null || break
  if qb_drive wait "Big License" 2000 "$QB_WIZARD_CLASS"; then
    shown=true
    break
  fi
done
$shown || fail "no wizard for a 40 MB license"
peak=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
echo "peak memory with a 40 MB license: $peak KiB"
[ -n "$peak" ] && [ "$peak" -lt $((300 << 10)) ] || fail "the installer took $peak KiB for a 40 MB license"
echo "ok: a 40 MB license is shown in bounded memory"
qb_drive click "Big License" "Next >" "$QB_WIZARD_CLASS"
qb_wait_controls "Big License" "$QB_WIZARD_CLASS" 10 \
  'control|RichEdit20A|0|Lorem ipsum dolor sit amet*|visible=1' >/dev/null ||
  fail "the License page does not show the license"
echo "ok: the License page shows the license's beginning"
qb_cancel_installer "Big License" || fail "could not cancel"
qb_wait_exit $pid
expect_eq "$QB_RC" 2 "the cancelled wizard's exit code"
