#!/usr/bin/env bash
# scripts/sign on a copy of the program with a throwaway self-signed certificate:
# both signatures verify against it, the signed program opens its form, removing
# the signatures gives back the same bytes, and a changed byte fails.
#   signing.sh V7ER.EXE UI-TESTS SCRIPTS-DIR
set -euo pipefail
exe=$1 ui_tests=$2 scripts=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

printf 'throwaway\n' >password
openssl req -x509 -newkey rsa:2048 -noenc -keyout key.pem -out cert.pem -days 2 -subj /CN=V7ER-test \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx -passout file:password
cp "$exe" V7ER.exe
V7ER_SIGN_PFX=cert.pfx V7ER_SIGN_PASSWORD_FILE=password "$scripts/sign" V7ER.exe

verify() { osslsigncode verify -CAfile cert.pem -in "$1"; }
digests=$(verify V7ER.exe | sed -n 's/^Message digest algorithm  *: //p' | tr '\n' ' ')
[[ $digests == 'SHA1 SHA256 ' ]] || { echo "signatures verified: $digests"; exit 1; }
osslsigncode remove-signature -in V7ER.exe -out unsigned.exe >/dev/null
cmp unsigned.exe "$exe"

V7ER_PROGRAM=$work/V7ER.exe "$scripts/wine-exec" "$ui_tests" \
  --gtest_filter=FormValues.DefaultsShownWithoutSettingsFileAndOkWritesThem

# The first, the middle and the last byte that the signatures cover.
size=$(stat -c %s "$exe")
for offset in 0 $((size / 2)) $((size - 1)); do
  cp V7ER.exe changed.exe
  byte=$(od -An -tu1 -j "$offset" -N1 changed.exe)
  printf "\\$(printf %03o $((byte ^ 1)))" | dd of=changed.exe bs=1 seek="$offset" conv=notrunc status=none
  if verify changed.exe >/dev/null 2>&1; then
    echo "a byte changed at $offset still verifies"
    exit 1
  fi
done
