# Shared helpers of the Wine tests. A test sources this file and calls
# qb_begin, which gives it a private copy of the template prefix in a new
# temporary folder and an Xvfb display of its own; everything is removed when
# the test ends, whether it passed or not.

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# The installer is a 32-bit program, and nearly every Windows it meets is
# 64-bit. Where the tests run it is scripts/wine-arch.sh's answer:
#   wow64           every test runs the shipped 32-bit programs natively: in
#                   a 32-bit prefix, and those that call qb_wow64_prefix in
#                   a 64-bit (WoW64) prefix of their own, with Windows'
#                   redirection
#   wow64-emulated  the kernel runs no 32-bit code: the tests named in
#                   QB_EMULATED_TESTS ("all", the default: every one) run
#                   the shipped 32-bit programs in a WoW64 prefix under
#                   qemu-i386 (scripts/with-emulation.sh); the others run
#                   the x86-64 build of the same sources
#   win64           no emulation either: every test runs the x86-64 build
#   win32           only 32-bit Wine: a 32-bit prefix
# In a 64-bit prefix "wine" means wine64, which hands 32-bit programs to the
# 32-bit loader. QB_WOW64=1 tells a test that 32-bit programs run on 64-bit
# Windows: "wine reg" then works on the 32-bit view, as the installer does.
QB_WINE_ARCH=${QB_WINE_ARCH:-$(bash "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-arch.sh")}
export QB_WINE_ARCH
QB_SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)
export QB_WIN32=${QB_WIN32:-$QB_WIN}
# Every test, emulated, takes about twice as long as natively. A quicker
# smoke set: QB_EMULATED_TESTS="make-template test_wow64 test_uninstall
# test_wizard_tasks" (make-template.sh makes the prefix, whose 32-bit half
# needs the emulator too; then a silent installation with every record kind
# and its removal, a visible walk to Finish, the 64-bit mode).
QB_EMULATED_TESTS=${QB_EMULATED_TESTS:-all}
QB_WOW64=
case "$QB_WINE_ARCH" in
  wow64-emulated)
    if [ "$QB_EMULATED_TESTS" = all ] ||
      [[ " $QB_EMULATED_TESTS " == *" $(basename "$0" .sh) "* ]]; then
      if [ "${QB_IN_EMULATION:-}" != 1 ]; then
        exec bash "$QB_SCRIPTS/with-emulation.sh" bash "$0" "$@"
      fi
      QB_WOW64=1
    else
      [ -n "${QB_WIN64:-}" ] && QB_WIN=$QB_WIN64
    fi
    ;;
  win64) [ -n "${QB_WIN64:-}" ] && QB_WIN=$QB_WIN64 ;;
esac
export QB_WIN QB_WOW64
QB_SHIM=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-shim
if [ "$QB_WINE_ARCH" = win32 ] || [ "$QB_WINE_ARCH" = wow64 ]; then
  export WINEARCH=win32
else
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  export PATH="$QB_SHIM:$PATH"
fi
# The Program Files folder of the installer under test.
if [ -n "$QB_WOW64" ]; then QB_PF="Program Files (x86)"; else QB_PF="Program Files"; fi

# "wine reg" works on the registry view of the installer under test unless
# the command names one (/reg:32 or /reg:64).
wine() {
  if [ -n "$QB_WOW64" ] && [ "${1:-}" = reg ] && [[ " $* " != *" /reg:"* ]]; then
    command wine "$@" /reg:32
  else
    command wine "$@"
  fi
}

qb_start_xvfb() {
  local dir=$1
  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$dir/display" 2>/dev/null &
  QB_XVFB_PID=$!
  qb_wait_until 10 test -s "$dir/display" || { echo "Xvfb did not start"; return 1; }
  export DISPLAY=":$(head -n1 "$dir/display")"
}

qb_stop_xvfb() {
  [ -n "${QB_XVFB_PID:-}" ] && kill "$QB_XVFB_PID" 2>/dev/null && wait "$QB_XVFB_PID" 2>/dev/null
  QB_XVFB_PID=
  return 0
}

# A new prefix links Desktop, Documents and the like to the real home
# folder; installers under test must never write there, so each link becomes
# a folder of the prefix.
qb_unlink_home() {
  local user link
  for user in "$WINEPREFIX"/drive_c/users/*; do
    for link in "$user"/*; do
      if [ -L "$link" ]; then
        rm "$link"
        mkdir -p "$link"
      fi
    done
  done
}

qb_user_dir() {
  local d
  for d in "$WINEPREFIX"/drive_c/users/*; do
    [ "$(basename "$d")" = Public ] && continue
    echo "$d"
    return
  done
}

qb_end() {
  local status=$?
  wineserver -k 2>/dev/null || true
  qb_stop_xvfb
  [ -n "${QB_KEEP:-}" ] || rm -rf "$QB_TMP"
  if [ $status -eq 0 ]; then echo "PASS"; else echo "FAIL (status $status)"; fi
  exit $status
}

# For a test of the shipped 32-bit programs on 64-bit Windows: ends it as
# skipped (ctest's code 77), saying why, where they cannot run on 64-bit
# Windows here. Call before qb_begin.
qb_need_wow64() {
  if [ "$QB_WINE_ARCH" != wow64 ] && [ -z "$QB_WOW64" ]; then
    echo "SKIPPED: the 32-bit programs cannot run in a 64-bit prefix here ($QB_WINE_ARCH)"
    exit 77
  fi
}

# Switches a test (after qb_begin) to a 64-bit (WoW64) prefix running the
# shipped 32-bit programs: where they run natively, a new prefix of the
# test's own; under emulation the template is one already.
qb_wow64_prefix() {
  [ -n "$QB_WOW64" ] && return 0
  wineserver -k 2>/dev/null || true
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINEPREFIX=$QB_TMP/wow64
  export PATH="$QB_SHIM:$PATH"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  qb_unlink_home
  mkdir -p "$(qb_user_dir)/Temp"
  QB_WIN_TEMP="$(qb_user_dir)/Temp"
  QB_WORK="$QB_WIN_TEMP/\$inst"
  export QB_WOW64=1
  QB_PF="Program Files (x86)"
}

qb_begin() {
  set -euo pipefail
  [ -d "$QB_WINE_TEMPLATE/prefix" ] || { echo "no template prefix in $QB_WINE_TEMPLATE"; exit 1; }
  QB_TMP=$(mktemp -d /tmp/qbtest.XXXXXX)
  trap qb_end EXIT
  # A command that fails without a message of its own is named.
  trap 'echo "FAILED: line $LINENO: $BASH_COMMAND" >&2' ERR
  cp -a "$QB_WINE_TEMPLATE/prefix" "$QB_TMP/prefix"
  export WINEPREFIX=$QB_TMP/prefix
  qb_start_xvfb "$QB_TMP"
  # The user's temporary folder and the installer's working folder in it.
  QB_WIN_TEMP="$(qb_user_dir)/Temp"
  QB_WORK="$QB_WIN_TEMP/\$inst"
  QB_STUB="$QB_WIN/stub/quillbox-stub.exe"
  QB_PACK="$QB_NATIVE/tests/qbpack"
}

# The UI driver. It answers 0 (done), 1 (no such window or control) or 2
# (usage); any other status means it died itself (it can meet a window in
# the middle of being destroyed), and it is run once more.
qb_drive() {
  local rc=0
  wine "$QB_WIN/tests/win/qbdrive.exe" "$@" || rc=$?
  if [ $rc -gt 2 ]; then
    rc=0
    wine "$QB_WIN/tests/win/qbdrive.exe" "$@" || rc=$?
  fi
  return $rc
}

# grep -q for the end of a pipeline: it reads the whole input, so the
# programs before it never write into a closed pipe (under pipefail a
# "grep -q" that stops early fails the pipeline even when it matched).
grep_q() { grep "$@" >/dev/null; }

# Runs a Windows program and prints its whole exit code: "wine" hands on
# only its low 8 bits (3010 would read 194).
qb_exit_code() { wine "$QB_WIN/tests/win/qbexit.exe" "$@" | tr -d '\r'; }

# The authoring tool, building on the stub under test.
# QB_COMPRESSION (lzx, mszip), set for the tests that run once per
# compression, chooses the cabinets' compression over the manifest's.
qb_tool() {
  if [ -n "${QB_COMPRESSION:-}" ] && [ "${1:-}" = build ]; then
    "$QB_NATIVE/tool/quillbox" "$@" --stub "$QB_STUB" --compression "$QB_COMPRESSION"
  else
    "$QB_NATIVE/tool/quillbox" "$@" --stub "$QB_STUB"
  fi
}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

expect_eq() {
  local actual=$1 expected=$2 what=$3
  [ "$actual" = "$expected" ] || fail "$what: expected '$expected', got '$actual'"
  echo "ok: $what"
}

# Runs COMMAND every 0.1 s (QB_POLL_INTERVAL seconds when set) until it
# succeeds (with "!": until it fails), for at most SECONDS seconds; then
# gives up, naming what it waited for. COMMAND is a check: it runs in this
# shell, as the condition of an "if". This is the one place the tests pause.
#   qb_wait_until SECONDS [!] COMMAND [ARGUMENT...]
qb_wait_until() {
  local seconds=$1 now deadline want=0
  shift
  if [ "$1" = "!" ]; then
    want=1
    shift
  fi
  now=${EPOCHREALTIME//[.,]/}
  deadline=$((now + seconds * 1000000))
  while :; do
    if "$@"; then
      [ $want -eq 0 ] && return 0
    else
      [ $want -eq 1 ] && return 0
    fi
    now=${EPOCHREALTIME//[.,]/}
    if [ "$now" -ge "$deadline" ]; then
      echo "timed out after $seconds s waiting for: $([ $want -eq 0 ] || echo "! ")$*" >&2
      return 1
    fi
    sleep "${QB_POLL_INTERVAL:-0.1}"
  done
}

# Waits for a background program started by this shell (up to $2 seconds,
# 120 by default) and puts its exit code in QB_RC (wait must run in this
# shell, not in a subshell). A program that does not end fails the test,
# with the windows it still shows.
qb_wait_exit() {
  if ! qb_wait_until "${2:-120}" qb_ended "$1"; then
    echo "the program (pid $1) did not end; windows:" >&2
    qb_drive list | tr -d '\r' | grep 'visible=1' >&2 || true
    fail "program $1 still runs"
  fi
  QB_RC=0
  wait "$1" || QB_RC=$?
}
qb_ended() { ! kill -0 "$1" 2>/dev/null; }

# The Windows form of a Unix path (Wine maps / to drive Z:).
qb_win() { local p=$1; echo "Z:${p//\//\\}"; }

# Same contents?
expect_same_file() {
  cmp -s "$1" "$2" || fail "$3: $2 differs from $1"
  echo "ok: $3"
}

# Waits until a file exists (up to $2 seconds, 30 by default).
qb_wait_file() { qb_wait_until "${2:-30}" test -e "$1"; }

# The wizard's window class, to tell it from the application window that
# carries the same title.
QB_WIZARD_CLASS=TQuillboxWizard

# Closes a visible installer: the close request on its wizard, then Yes to
# the question whether to leave.
qb_cancel_installer() {
  qb_drive close "$1" "$QB_WIZARD_CLASS" || return 1
  qb_drive wait "$1" 20000 '#32770' || return 1
  qb_drive click "$1" Yes '#32770'
}

# A value of a registry key as "wine reg query" shows it ("" when missing).
qb_reg_value() {
  { wine reg query "$1" /v "$2" 2>/dev/null || true; } | tr -d '\r' |
    sed -n "s/^ *$2  *REG_[A-Z_]*  *//p"
}

# The uninstall log's fingerprint in the Add/Remove Programs entry $1:
# QuillboxLogSize and QuillboxLogSha256, the size and SHA-256 of the log
# file $2. An installer that writes them is held to the log's own size and
# sha256sum; where the installation holds neither, they are written here,
# as the installer would.
qb_fingerprint_log() {
  local key=$1 log=$2 size sha have_size have_sha
  size=$(stat -c %s "$log")
  sha=$(sha256sum "$log" | cut -d' ' -f1)
  have_size=$(qb_reg_value "$key" QuillboxLogSize)
  have_sha=$(qb_reg_value "$key" QuillboxLogSha256)
  if [ -z "$have_size" ] && [ -z "$have_sha" ]; then
    wine reg add "$key" /v QuillboxLogSize /t REG_SZ /d "$size" /f >/dev/null
    wine reg add "$key" /v QuillboxLogSha256 /t REG_SZ /d "$sha" /f >/dev/null
    expect_eq "$(qb_reg_value "$key" QuillboxLogSha256)" "$sha" "the log's fingerprint, written by the test"
  else
    expect_eq "$have_size" "$size" "the installer's QuillboxLogSize is the log's size"
    expect_eq "$have_sha" "$sha" "the installer's QuillboxLogSha256 is the log's sha256sum"
  fi
}

# Waits until a visible window TITLE of CLASS ("*": any) shows controls that
# match every PATTERN, up to SECONDS seconds (see "qbdrive until": a pattern
# is part of a line as "qbdrive dump" prints it, "*" stands for any run of
# characters, and a pattern without "&" ignores the lines' mnemonics). Prints
# the dump that matched; fails with the last one.
#   qb_wait_controls TITLE CLASS SECONDS PATTERN...
qb_wait_controls() {
  local title=$1 class=$2 seconds=$3
  shift 3
  qb_drive until "$title" $((seconds * 1000)) "$class" "$@" | tr -d '\r'
}

# Waits until the wizard TITLE shows a page whose default button (Next,
# I Agree, Install, Finish) is enabled: the page is set up and waits for the
# user. On the run's page that is once the run is over. Prints the page's
# dump.
qb_wait_wizard() {
  qb_wait_controls "$1" "$QB_WIZARD_CLASS" "${2:-30}" 'control|Button|102|*|visible=1|enabled=1'
}

# The wizard's page as it stands: its visible controls, without places and
# the progress bar's position (which move without the page changing).
qb_wizard_page() {
  qb_drive dump "$1" "$QB_WIZARD_CLASS" 2>/dev/null | tr -d '\r' | grep 'visible=1' |
    sed -E 's/\|(position|at)=.*//'
}
qb_page_differs() {
  local now
  now=$(qb_wizard_page "$1") || return 1
  [ -n "$now" ] && [ "$now" != "$2" ]
}

# Presses the wizard's button BUTTON once it is enabled, and waits until the
# page has changed.
#   qb_turn_page TITLE BUTTON
qb_turn_page() {
  local title=$1 button=$2 before
  qb_wait_controls "$title" "$QB_WIZARD_CLASS" 20 "control|Button|*|$button|visible=1|enabled=1" \
    >/dev/null || { echo "no enabled button \"$button\"" >&2; return 1; }
  before=$(qb_wizard_page "$title")
  qb_drive click "$title" "$button" "$QB_WIZARD_CLASS" || return 1
  qb_wait_until 20 qb_page_differs "$title" "$before" ||
    { echo "\"$button\" did not change the page" >&2; return 1; }
}

# Walks the wizard TITLE with its default button to the Finish page and
# presses Finish there. On each page, once it waits for the user (see
# qb_wait_wizard), ON_PAGE (if given) is called with the page's dump in
# QB_PAGE; it fails the test itself where it finds something wrong.
#   qb_walk_wizard TITLE [ON_PAGE]
qb_walk_wizard() {
  local title=$1 on_page=${2:-} label
  for _ in $(seq 20); do
    QB_PAGE=$(qb_wait_wizard "$title" 120) || fail "the wizard shows no page with an enabled default button"
    [ -z "$on_page" ] || "$on_page"
    if grep -q '^control|Button|102|&Finish|' <<<"$QB_PAGE"; then
      qb_drive click "$title" Finish "$QB_WIZARD_CLASS" || fail "Finish could not be pressed"
      return 0
    fi
    label=$(grep '^control|Button|102|' <<<"$QB_PAGE" | cut -d'|' -f4 | tr -d '&')
    qb_turn_page "$title" "$label" || fail "the wizard did not go on from the page with \"$label\""
  done
  fail "never reached the Finish page"
}

# The handle of a visible window, to wait for that very window to go
# (qb_wait_gone) while another of the same title and class may follow it.
#   qb_handle TITLE [CLASS]
qb_handle() { qb_drive handle "$@" | tr -d '\r'; }

# Waits until the window HANDLE is hidden or destroyed (up to $2 seconds,
# 20 by default).
qb_wait_gone() { qb_drive gone "$1" $((${2:-20} * 1000)); }
