#!/usr/bin/env bash
# scripts/sign with a throwaway certificate: both signatures verify, the signed program opens its
# form, removing them gives back the same bytes, and a changed byte fails.
#   signing.sh V7ER.EXE UI-TESTS SCRIPTS-DIR
set -euo pipefail
exe=$1 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'throwaway\n' >password
openssl req -x509 -newkey rsa:2048 -noenc -keyout key.pem -out cert.pem -days 2 -subj /CN=V7ER-test \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx -passout file:password
cp "$exe" V7ER.exe && V7ER_SIGN_PFX=cert.pfx V7ER_SIGN_PASSWORD_FILE=password "$3/sign" V7ER.exe
verify() { osslsigncode verify -CAfile cert.pem -in "$1"; }
digests=$(verify V7ER.exe | sed -n 's/^Message digest algorithm  *: //p' | tr '\n' ' ')
[[ $digests == 'SHA1 SHA256 ' ]] || { echo "signatures verified: $digests"; exit 1; }
osslsigncode remove-signature -in V7ER.exe -out unsigned.exe >/dev/null
cmp unsigned.exe "$exe"
V7ER_PROGRAM=$work/V7ER.exe "$3/wine-exec" "$2" \
  --gtest_filter=FormValues.DefaultsShownWithoutSettingsFileAndOkWritesThem
# The first, the middle and the last byte that the signatures cover.
size=$(stat -c %s "$exe")
for at in 0 $((size / 2)) $((size - 1)); do
  cp V7ER.exe changed.exe
  printf "\\$(printf %03o $(($(od -An -tu1 -j $at -N1 V7ER.exe) ^ 1)))" |
    dd of=changed.exe bs=1 seek=$at conv=notrunc status=none
  ! verify changed.exe >/dev/null 2>&1 || { echo "a byte changed at $at still verifies"; exit 1; }
done
