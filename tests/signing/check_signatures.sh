#!/usr/bin/env bash
# What a signature says and covers, read by the tools release engineers use: osslsigncode verify
# against the throwaway certificate passes on every signed program and fails after one changed
# payload byte; lexmora-payload list names the signer and still reads the payload.
#   check_signatures.sh FIXTURE_FOLDER LEXMORA_PAYLOAD
set -euo pipefail
out=$1 tool=$2
fail() { echo "FAILED: $*" >&2; exit 1; }
signed=("$out"/signed-*.exe)
[ -e "${signed[0]}" ] || fail "no signed programs in $out"
for program in "${signed[@]}"; do
  osslsigncode verify -CAfile "$out/cert.pem" -in "$program" >"$out/verify.txt" 2>&1 ||
    fail "$program does not verify: $(tail -3 "$out/verify.txt")"
  grep -q "Signature verification: ok" "$out/verify.txt" || fail "$program: $(cat "$out/verify.txt")"
  listing=$("$tool" list "$program") || fail "lexmora-payload list cannot read $program"
  echo "$listing" | grep -q "signature: Authenticode, signed by CN=Lexmora Test Signing, O=Norvanta Test, C=DK" ||
    fail "$program: the listing names no signer: $(echo "$listing" | grep -i signature)"
  "$tool" verify "$program" >/dev/null || fail "lexmora-payload verify cannot read $program"

  # One byte of the payload changed: the signature no longer holds.
  offset=$(echo "$listing" | sed -n 's/.*at file offset \([0-9]*\).*/\1/p')
  [ -n "$offset" ] || fail "no payload offset in the listing of $program"
  python3 - "$program" "$out/changed.exe" $((offset + 100)) <<'PYTHON'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[int(sys.argv[3])] ^= 0x01
open(sys.argv[2], "wb").write(data)
PYTHON
  if osslsigncode verify -CAfile "$out/cert.pem" -in "$out/changed.exe" >/dev/null 2>&1; then
    fail "$program with one payload byte changed still verifies"
  fi
done
echo "signatures: ${#signed[@]} programs verify, name their signer, and break with their payload"
