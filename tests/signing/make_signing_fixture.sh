#!/usr/bin/env bash
# Signs the installers under test as a release engineer would, with a throwaway code-signing
# certificate made here (never one that is kept anywhere): the 32-bit program from a PKCS#12
# container with a password file, the 64-bit one (when given) from PEM key and certificate.
#   make_signing_fixture.sh OUT_FOLDER PROGRAM [PROGRAM_X64]
# Leaves in OUT_FOLDER: cert.pem, key.pem, signer.p12, password.txt, signed-<name of PROGRAM>, ...
set -euo pipefail
out=$1 program=$2 program64=${3:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in openssl osslsigncode; do
  command -v $tool >/dev/null || { echo "make_signing_fixture.sh: $tool is missing (package $tool)" >&2; exit 1; }
done
rm -rf "$out" && mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -keyout "$out/key.pem" -out "$out/cert.pem" \
  -subj "/C=DK/O=Norvanta Test/CN=Lexmora Test Signing" -addext "extendedKeyUsage=codeSigning" \
  -addext "keyUsage=digitalSignature" 2>/dev/null
printf 'throwaway-%s' "$RANDOM$RANDOM" >"$out/password.txt"
openssl pkcs12 -export -in "$out/cert.pem" -inkey "$out/key.pem" -out "$out/signer.p12" \
  -passout "file:$out/password.txt"
"$root/scripts/sign-installer" "$program" "$out/signed-$(basename "$program")" \
  --pkcs12 "$out/signer.p12" --password-file "$out/password.txt"
if [ -n "$program64" ]; then
  "$root/scripts/sign-installer" "$program64" "$out/signed-$(basename "$program64")" \
    --key "$out/key.pem" --cert "$out/cert.pem"
fi
