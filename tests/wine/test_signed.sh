#!/usr/bin/env bash
# Signed installers: one signed by the tool as it builds and one signed
# afterwards with osslsigncode both verify and install; a changed byte of the
# package breaks the signature; secrets never sit in a manifest; a signing
# that fails leaves no installer. The uninstaller a signed installer carries
# is signed the same way: the installed uninstall.exe verifies, and still
# removes the application.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "signed payload" >"$m/app/readme.txt"
cd "$m"
# A self-signed code-signing certificate, made for this test only.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Quillbox Test Signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -out cert.p12 -inkey key.pem -in cert.pem -passout pass:s3cret
app='[app]
name = "Signed Test"
version = "1"
destination = "C:\\Signed"
[uninstall]
enabled = false
[[files]]
source = "app/readme.txt"'
printf '%s\n[signing]\npkcs12 = "cert.p12"\npassword_env = "QB_SIGN_PASS"\n' "$app" >signed.toml
printf '%s\n' "$app" >plain.toml

verify() { osslsigncode verify -in "$1" -CAfile "$m/cert.pem" >"$QB_TMP/verify.txt" 2>&1; }

# Signed by the tool.
QB_SIGN_PASS=s3cret qb_tool build signed.toml -o "$QB_TMP/signed.exe" >"$QB_TMP/build.txt"
grep -q "^signed $QB_TMP/signed.exe" "$QB_TMP/build.txt" || fail "no signing: $(cat "$QB_TMP/build.txt")"
verify "$QB_TMP/signed.exe" || fail "the tool's signature does not verify: $(cat "$QB_TMP/verify.txt")"
echo "ok: the tool signs as it builds, and the signature verifies"
"$QB_NATIVE/tool/quillbox" inspect "$QB_TMP/signed.exe" >"$QB_TMP/inspect.txt" ||
  fail "inspect of a signed installer"
grep -q '^Signature: Authenticode' "$QB_TMP/inspect.txt" || fail "inspect does not show the signature"
echo "ok: inspect shows the signature"

# Signed afterwards, with a certificate and key.
qb_tool build plain.toml -o "$QB_TMP/plain.exe" >/dev/null
"$QB_NATIVE/tool/quillbox" inspect "$QB_TMP/plain.exe" >"$QB_TMP/inspect.txt"
grep -q '^Signature: none' "$QB_TMP/inspect.txt" || fail "inspect sees a signature on an unsigned installer"
osslsigncode sign -certs cert.pem -key key.pem -in "$QB_TMP/plain.exe" -out "$QB_TMP/later.exe" \
  >/dev/null
verify "$QB_TMP/later.exe" || fail "signed afterwards: $(cat "$QB_TMP/verify.txt")"
echo "ok: signed afterwards with osslsigncode, the signature verifies"

# Both install silently.
for setup in signed later; do
  rm -rf "$WINEPREFIX/drive_c/Signed"
  expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/$setup.exe")" /S)" 0 "$setup installer: silent run"
  expect_same_file "$m/app/readme.txt" "$WINEPREFIX/drive_c/Signed/readme.txt" \
    "$setup installer: the file is installed"
done

# One changed byte of the package: the signature no longer verifies.
cp "$QB_TMP/signed.exe" "$QB_TMP/changed.exe"
size=$(stat -c %s "$QB_TMP/plain.exe")
at=$((size - 100))
byte=$(od -An -tu1 -j "$at" -N1 "$QB_TMP/changed.exe" | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" |
  dd of="$QB_TMP/changed.exe" bs=1 seek="$at" conv=notrunc 2>/dev/null
cmp -s "$QB_TMP/signed.exe" "$QB_TMP/changed.exe" && fail "the byte did not change"
if verify "$QB_TMP/changed.exe"; then fail "a changed package still verifies"; fi
echo "ok: a changed byte of the package breaks the signature"

# No secrets in a manifest.
printf '%s\n[signing]\npkcs12 = "cert.p12"\npassword = "s3cret"\n' "$app" >secret.toml
rc=0
qb_tool build secret.toml -o "$QB_TMP/secret.exe" 2>"$QB_TMP/err.txt" || rc=$?
[ $rc -eq 1 ] && grep -q 'secret.toml:11: secrets do not belong in a manifest' "$QB_TMP/err.txt" ||
  fail "a password in the manifest: $rc $(cat "$QB_TMP/err.txt")"
echo "ok: a password in the manifest is refused with its line"

# A wrong password: the build fails and leaves nothing.
rc=0
QB_SIGN_PASS=wrong qb_tool build signed.toml -o "$QB_TMP/wrong.exe" >/dev/null 2>"$QB_TMP/err.txt" || rc=$?
[ $rc -eq 1 ] && grep -q 'signing failed' "$QB_TMP/err.txt" || fail "wrong password: $rc $(cat "$QB_TMP/err.txt")"
[ ! -e "$QB_TMP/wrong.exe" ] && [ -z "$(ls "$QB_TMP" | grep -e '\.part' || true)" ] ||
  fail "a failed signing left output"
echo "ok: a signing that fails leaves no installer"

# --- The uninstaller, signed with the installer -----------------------------
appu='[app]
name = "Signed Removal"
version = "1"
destination = "C:\\SignedU"
[[files]]
source = "app/readme.txt"'
printf '%s\n[signing]\npkcs12 = "cert.p12"\npassword_env = "QB_SIGN_PASS"\n' "$appu" >signed-u.toml
printf '%s\n' "$appu" >plain-u.toml
# The signing's scratch files go to TMPDIR: none may stay.
scratch=$QB_TMP/scratch
mkdir -p "$scratch" "$QB_TMP/su" "$QB_TMP/pu1" "$QB_TMP/pu2"
QB_SIGN_PASS=s3cret TMPDIR=$scratch qb_tool build signed-u.toml -o "$QB_TMP/su/setup.exe" \
  >"$QB_TMP/build.txt" 2>&1
grep -q "^signed $QB_TMP/su/setup.exe" "$QB_TMP/build.txt" || fail "no signing: $(cat "$QB_TMP/build.txt")"
verify "$QB_TMP/su/setup.exe" || fail "the installer's signature: $(cat "$QB_TMP/verify.txt")"
grep -q s3cret "$QB_TMP/build.txt" && fail "the password reached the build's output"
[ -z "$(ls -A "$scratch")" ] || fail "signing left scratch files: $(ls -A "$scratch")"
echo "ok: an installer with an uninstaller is signed, and leaves no scratch file"

# An unsigned build, twice: the same bytes, uninstaller included.
qb_tool build plain-u.toml -o "$QB_TMP/pu1/setup.exe" >/dev/null
qb_tool build plain-u.toml -o "$QB_TMP/pu2/setup.exe" >/dev/null
cmp -s "$QB_TMP/pu1/setup.exe" "$QB_TMP/pu2/setup.exe" || fail "two unsigned builds differ"
echo "ok: two unsigned builds of the same manifest are the same bytes"

# The files as packed, out of the installer's one cabinet (stored without its
# first four bytes, "MSCF"): 0 is readme.txt, 1 the uninstaller.
unpack() {
  local setup=$1 dir=$2 at size
  "$QB_NATIVE/tool/quillbox" inspect "$setup" >"$dir/inspect.txt"
  at=$(sed -n 's/^  file cabinet data at *//p' "$dir/inspect.txt")
  size=$(sed -n 's/^Cabinets: 1, stored size \([0-9]*\) each.*/\1/p' "$dir/inspect.txt")
  [ -n "$at" ] && [ -n "$size" ] || fail "$setup: not one cabinet: $(grep -i cabinet "$dir/inspect.txt")"
  { printf 'MSCF'; tail -c +$((at + 1)) "$setup" | head -c "$size"; } >"$dir/files.cab"
  cabextract -q -d "$dir/files" "$dir/files.cab" || fail "$setup: the cabinet does not unpack"
}
unpack "$QB_TMP/su/setup.exe" "$QB_TMP/su"
unpack "$QB_TMP/pu1/setup.exe" "$QB_TMP/pu1"
expect_same_file "$m/app/readme.txt" "$QB_TMP/su/files/0" "the signed package's readme.txt"

# The packed uninstaller is signed by the test certificate.
signer() {  # the verification's output: the signer is the test certificate
  local serial
  serial=$(openssl x509 -in "$m/cert.pem" -noout -serial | sed 's/^serial=//')
  sed -n '/^Signer.s certificate:/,/^Message digest algorithm/p' "$QB_TMP/verify.txt" >"$QB_TMP/signer.txt"
  grep -q 'Subject: /CN=Quillbox Test Signer$' "$QB_TMP/signer.txt" &&
    grep -qi "Serial : $serial\$" "$QB_TMP/signer.txt"
}
verify "$QB_TMP/su/files/1" || fail "the packed uninstaller: $(cat "$QB_TMP/verify.txt")"
signer || fail "the packed uninstaller's signer: $(cat "$QB_TMP/verify.txt")"
echo "ok: the packed uninstaller is signed by the test certificate"
osslsigncode verify -in "$QB_TMP/pu1/files/1" >"$QB_TMP/verify.txt" 2>&1 &&
  fail "the unsigned package's uninstaller has a signature"
grep -q 'No signature found' "$QB_TMP/verify.txt" ||
  fail "the unsigned package's uninstaller: $(cat "$QB_TMP/verify.txt")"
echo "ok: an unsigned package's uninstaller carries no signature"

# The signed uninstaller is the unsigned one with a signature: before its
# certificate table the same bytes, but for the checksum and the security
# directory entry, and at most seven zero bytes.
python3 - "$QB_TMP/pu1/files/1" "$QB_TMP/su/files/1" <<'PY' || fail "the signed uninstaller is not the unsigned one signed"
import struct, sys
plain, signed = (open(p, "rb").read() for p in sys.argv[1:3])
pe = struct.unpack_from("<I", plain, 0x3C)[0]
directories = pe + 24 + (96 if struct.unpack_from("<H", plain, pe + 24)[0] == 0x10B else 112)
security = directories + 4 * 8
offset, size = struct.unpack_from("<II", signed, security)
assert offset + size == len(signed), "the table does not end the file"
assert len(plain) <= offset < len(plain) + 8, (len(plain), offset)
assert signed[len(plain):offset] == bytes(offset - len(plain)), "padding is not zero"
skip = set(range(pe + 88, pe + 92)) | set(range(security, security + 8))
differ = [i for i in range(len(plain)) if plain[i] != signed[i] and i not in skip]
assert not differ, "differ at %s" % differ[:10]
assert struct.unpack_from("<II", plain, security) == (0, 0), "the unsigned one has a table"
PY
echo "ok: the signed uninstaller is the unsigned one with a signature added"

# Every size the package states follows the signed file.
readme=$(stat -c %s "$m/app/readme.txt")
packed=$(stat -c %s "$QB_TMP/su/files/1")
[ "$packed" -gt "$(stat -c %s "$QB_TMP/pu1/files/1")" ] || fail "the signed uninstaller is not larger"
grep -q "required_disk_space *= $((readme + packed))\$" "$QB_TMP/su/inspect.txt" ||
  fail "required_disk_space: $(grep required_disk_space "$QB_TMP/su/inspect.txt"), files $readme + $packed"
grep -q "name=\"EstimatedSize\" data=\"$(((readme + packed + 1023) / 1024))\"" "$QB_TMP/su/inspect.txt" ||
  fail "EstimatedSize: $(grep EstimatedSize "$QB_TMP/su/inspect.txt"), files $readme + $packed"
grep -q "2 files ($((readme + packed)) bytes)" "$QB_TMP/build.txt" ||
  fail "the build's summary: $(cat "$QB_TMP/build.txt")"
echo "ok: required_disk_space, EstimatedSize and the summary count the signed uninstaller"

# Installed: uninstall.exe (with the installer's trailer) verifies, signed
# by the test certificate, and still asks for the installer's level.
C=$WINEPREFIX/drive_c
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/su/setup.exe")" /S)" 0 "signed installer with an uninstaller: silent run"
wineserver -w
expect_same_file "$m/app/readme.txt" "$C/SignedU/readme.txt" "the signed installer installs its file"
[ -f "$C/SignedU/uninstall.exe" ] && [ -f "$C/SignedU/uninstall.log" ] || fail "uninstaller or log missing"
verify "$C/SignedU/uninstall.exe" || fail "the installed uninstaller: $(cat "$QB_TMP/verify.txt")"
signer || fail "the installed uninstaller's signer: $(cat "$QB_TMP/verify.txt")"
grep -q 'invalid PE checksum' "$QB_TMP/verify.txt" && fail "the installed uninstaller's checksum"
log='C:\SignedU\uninstall.log'
[ "$(tail -c $((${#log} + 2)) "$C/SignedU/uninstall.exe" | head -c ${#log})" = "$log" ] ||
  fail "the installed uninstaller does not end with its trailer"
echo "ok: the installed uninstaller ends with its trailer, and its signature verifies"
info=$(wine "$QB_WIN/tests/win/qbfileinfo.exe" 'C:\SignedU\uninstall.exe' | tr -d '\r')
grep -qx 'level=requireAdministrator' <<<"$info" || fail "the signed uninstaller's level: $info"
echo "ok: the signed uninstaller asks for the installer's execution level"
arp='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Signed Removal'
expect_eq "$(($(qb_reg_value "$arp" EstimatedSize)))" "$(((readme + packed + 1023) / 1024))" \
  "EstimatedSize in the registry counts the signed uninstaller"

# The signed uninstaller removes the application.
expect_eq "$(qb_exit_code 'C:\SignedU\uninstall.exe' /S)" 0 "the signed uninstaller: silent run"
qb_wait_until 30 test ! -e "$C/SignedU" ||
  fail "C:\\SignedU is still there: $(cd "$C/SignedU" && find . | tr '\n' ' ')"
expect_eq "$(qb_reg_value "$arp" DisplayName)" "" "the Add/Remove Programs entry is gone"
echo "ok: the signed uninstaller removes the application"

# A signing of the uninstaller that fails: the build fails, says so, and
# leaves nothing.
rc=0
QB_SIGN_PASS=wrong TMPDIR=$scratch qb_tool build signed-u.toml -o "$QB_TMP/wrongu/setup.exe" \
  >/dev/null 2>"$QB_TMP/err.txt" || rc=$?
[ $rc -eq 1 ] && grep -q 'the uninstaller ".*quillbox-uninstall.exe": signing failed' "$QB_TMP/err.txt" ||
  fail "the uninstaller's signing with a wrong password: $rc $(cat "$QB_TMP/err.txt")"
[ ! -e "$QB_TMP/wrongu" ] && [ -z "$(ls -A "$scratch")" ] ||
  fail "a failed signing of the uninstaller left output: $(ls -A "$QB_TMP/wrongu" "$scratch" 2>&1)"
echo "ok: a signing of the uninstaller that fails leaves no installer"
