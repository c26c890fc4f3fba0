#!/usr/bin/env bash
# The stub and the uninstaller are built for size, but keep what makes them
# harder to attack: a relocation table, so that the system can load them at
# a random address (dynamic base, ASLR), and data pages that cannot run
# (NX compatible, DEP).
set -euo pipefail
exe=$1
headers=$(i686-w64-mingw32-objdump -p -h "$exe")
status=0
for want in DYNAMIC_BASE NX_COMPAT; do
  if grep -qw "$want" <<<"$headers"; then
    echo "ok: $want"
  else
    echo "MISSING: $want"
    status=1
  fi
done
if grep -qE '^ +[0-9]+ \.reloc ' <<<"$headers"; then
  echo "ok: relocation table"
else
  echo "MISSING: relocation table"
  status=1
fi
exit $status
