#!/usr/bin/env bash
# Signing with a key that lives on a token, as code-signing keys issued since 2023 do: a SoftHSM token
# made here holds the key, a certificate is made for it, and scripts/package signs through the token's
# PKCS#11 library. lumar.scr and the setup verify with osslsigncode; a wrong PIN is refused with a clear
# message and leaves no release files; signing without a time stamp is refused unless --no-timestamp.
# No Wine: the files are checked as they come from scripts/package.
set -uo pipefail
shopt -s nullglob
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
module=""
for candidate in /usr/lib/softhsm/libsofthsm2.so /usr/lib/*/softhsm/libsofthsm2.so; do
  [ -f "$candidate" ] && { module="$candidate"; break; }
done
if [ -z "$module" ] || ! command -v softhsm2-util >/dev/null; then
  e2e_fail "SoftHSM (softhsm2) is missing: run scripts/bootstrap"
  e2e_finish
fi

# A token of our own: its files under $work, not the machine's.
export SOFTHSM2_CONF="$work/softhsm2.conf"
mkdir -p "$work/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$work/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label lumar-test --pin 4321 --so-pin 87654321 >"$work/init.log" 2>&1 ||
  e2e_fail "softhsm2-util could not make a token: $(tail -n 2 "$work/init.log")"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/signer.key" 2>/dev/null
openssl req -x509 -key "$work/signer.key" -out "$work/signer.pem" -days 2 -subj "/CN=Lumar token test" \
  -addext "extendedKeyUsage=codeSigning" 2>/dev/null || e2e_fail "openssl could not make the certificate"
softhsm2-util --import "$work/signer.key" --token lumar-test --label signer --id 01 --pin 4321 \
  >"$work/import.log" 2>&1 || e2e_fail "the key could not be put on the token: $(tail -n 2 "$work/import.log")"
rm -f "$work/signer.key"  # from now on the key is on the token only
echo 4321 >"$work/pin"
echo 1111 >"$work/wrong-pin"

token_args=(--local --sign-cert "$work/signer.pem" --sign-pkcs11-module "$module"
  --sign-key-id 'pkcs11:token=lumar-test;object=signer;type=private')
package() {  # package DIR [arguments]: sets $said and $status
  local out=$1
  shift
  said=$("$e2e_root/scripts/package" --scr "$E2E_SCR" --out "$out" "$@" 2>&1)
  status=$?
}

package "$work/signed" "${token_args[@]}" --sign-pin-file "$work/pin" --no-timestamp
e2e_check "scripts/package signs through the token (exit code $status: $(tail -n 2 <<<"$said"))" [ "$status" = 0 ]
setups=("$work/signed"/lumar-*-setup.exe)
zips=("$work/signed"/lumar-*-win64.zip)
if [ "${#setups[@]} ${#zips[@]}" = "1 1" ]; then
  unzip -q -o "${zips[0]}" lumar.scr -d "$work/unzipped"
  for file in "${setups[0]}" "$work/unzipped/lumar.scr"; do
    osslsigncode verify -CAfile "$work/signer.pem" -in "$file" >"$work/verify.out" 2>&1
    e2e_check "$(basename "$file") verifies against the token's certificate ($(grep -m1 -E 'Signature verification|Succeeded|Failed' "$work/verify.out"))" \
      grep -q 'Signature verification: ok' "$work/verify.out"
  done
else
  e2e_fail "no single setup and zip from the signed run"
fi

package "$work/wrong" "${token_args[@]}" --sign-pin-file "$work/wrong-pin" --no-timestamp
e2e_check "a PIN the token refuses fails the packaging (exit code $status)" [ "$status" != 0 ]
e2e_check "... saying so ($(tail -n 1 <<<"$said"))" grep -q 'token refused the PIN' <<<"$said"
e2e_check "... and writes no release files" [ ! -e "$work/wrong" ]

package "$work/untimed" "${token_args[@]}" --sign-pin-file "$work/pin"
e2e_check "signing without a time-stamping server is refused (exit code $status)" [ "$status" != 0 ]
e2e_check "... saying why ($(tail -n 1 <<<"$said"))" grep -q 'needs a time-stamping server' <<<"$said"

e2e_finish
