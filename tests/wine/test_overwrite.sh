#!/usr/bin/env bash
# Overwrite rules 0 to 4 against existing older, newer and equal files, and
# the overwrite dialog's answers: Yes to all and No to all last for the rest
# of the run, Yes, No and the close box only for one file.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/src"
packed='2024-06-01 12:00:00'
for f in a0 a1 b c d e; do
  echo "new" >"$m/src/$f.txt"
  touch -d "$packed" "$m/src/$f.txt"
done
cat >"$m/m.toml" <<'TOML'
[app]
name = "Overwrite Test"
version = "1"
title = "Overwrite Test"
destination = "C:\\OW"
[[files]]
source = "src/a0.txt"
overwrite = "ask"
[[files]]
source = "src/a1.txt"
overwrite = "ask"
[[files]]
source = "src/b.txt"
overwrite = "ask-if-newer"
[[files]]
source = "src/c.txt"
overwrite = "always"
[[files]]
source = "src/d.txt"
overwrite = "if-newer"
[[files]]
source = "src/e.txt"
overwrite = "never"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
OW=$WINEPREFIX/drive_c/OW
title="Overwrite Test"

existing() {  # existing AGE: every file "old", dated AGE
  rm -rf "$OW"
  mkdir -p "$OW"
  for f in a0 a1 b c d e; do
    echo "old" >"$OW/$f.txt"
    touch -d "$1" "$OW/$f.txt"
  done
}
dialog() {  # dialog ANSWER: wait for the overwrite question and answer it
  local question
  qb_drive wait "$title" 30000 TQuillboxReplaceFile || fail "no overwrite dialog"
  question=$(qb_handle "$title" TQuillboxReplaceFile)
  if [ "$1" = close ]; then
    qb_drive close "$title" TQuillboxReplaceFile
  else
    qb_drive click "$title" "$1" TQuillboxReplaceFile
  fi
  # The next question, if any, is a new window: this one goes first.
  qb_wait_gone "$question" || fail "\"$1\" did not close the overwrite dialog"
}
no_dialog_until_exit() {
  qb_wait_exit $1
  expect_eq "$QB_RC" 0 "$2: exit code"
}
expect_files() {  # expect_files WHAT a0 a1 b c d e, each "new" or "old"
  local what=$1
  shift
  local f
  for f in a0 a1 b c d e; do
    expect_eq "$(cat "$OW/$f.txt")" "$1" "$what: $f.txt"
    shift
  done
}

# A: everything older; the first question answered Yes to all. The read-only
#    file of rule "always" is replaced too.
existing '2020-01-01 08:00:00'
chmod a-w "$OW/c.txt"
wine "$QB_TMP/setup.exe" /S &
pid=$!
qb_drive wait "$title" 30000 TQuillboxReplaceFile || fail "no overwrite dialog"
dump=$(qb_drive dump "$title" TQuillboxReplaceFile | tr -d '\r')
for text in "This file already exists. Do you want to replace it?" 'C:\OW\a0.txt' "Existing file:" \
  "New file:" "Yes to &all" "N&o to all"; do
  grep -qF -- "$text" <<<"$dump" || fail "dialog lacks \"$text\": $dump"
done
grep -q '    4b|' <<<"$dump" || fail "dialog lacks the size line: $dump"
echo "ok: the dialog shows the path, labels, both file lines and four answers"
dialog "Yes to all"
no_dialog_until_exit $pid "Yes to all"
expect_files "Yes to all" new new new new new old
expect_eq "$(wine "$QB_WIN/tests/win/cabtest.exe" stat 'C:\OW\c.txt' | tr -d '\r' | cut -d' ' -f1)" \
  "attr=20" "a read-only file replaced carries the packed attributes"

# B: everything older; No for the first, No to all for the second.
existing '2020-01-01 08:00:00'
wine "$QB_TMP/setup.exe" /S &
pid=$!
dialog "No"
dialog "No to all"
no_dialog_until_exit $pid "No to all"
expect_files "No, then No to all" old old old new new old

# C: everything newer; the close box keeps a0, Yes replaces a1; rules 1 and
#    3 keep newer files without asking.
existing '2030-01-01 08:00:00'
wine "$QB_TMP/setup.exe" /S &
pid=$!
dialog close
dialog "Yes"
no_dialog_until_exit $pid "newer files"
expect_files "newer existing files" old new old new old old

# D: same time to the second: rules 1 and 3 keep the file without asking.
existing "$packed"
wine "$QB_TMP/setup.exe" /S &
pid=$!
dialog "Yes"
dialog "No"
no_dialog_until_exit $pid "equal files"
expect_files "equally old files" new old old new old old
