#!/usr/bin/env bash
# Signed installers: one signed by the tool as it builds and one signed
# afterwards with osslsigncode both verify and install; a changed byte of the
# package breaks the signature; secrets never sit in a manifest; a signing
# that fails leaves no installer.
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
