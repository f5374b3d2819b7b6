#!/usr/bin/env bash
# scripts/check-installer on installers that may ship and on installers that must not: it passes
# on the shipped program (after the earlier test installer, photographing a windowed install) and
# on its signed copy, and fails, naming the step, on a copy with one payload byte changed and on a
# signed copy changed after signing. A check that cannot begin says why.
#   check_installer_cases.sh FIXTURE_FOLDER PROGRAM EARLIER_PROGRAM LEXMORA_PAYLOAD
set -euo pipefail
fixture=$1 program=$2 earlier=$3
export LEXMORA_PAYLOAD_TOOL=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$fixture/check-installer
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAILED: $*" >&2; exit 1; }

changed_copy() {  # program, offset, copy: the program with the byte at offset flipped
  python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[int(sys.argv[2])] ^= 1
open(sys.argv[3], "wb").write(d)' "$@"
}
signed=$fixture/signed-$(basename "$program")
payload_at=$("$LEXMORA_PAYLOAD_TOOL" list "$program" | sed -n 's/.*at file offset \([0-9]*\).*/\1/p')
changed_copy "$program" $((payload_at + 100)) "$work/payload-changed.exe"
changed_copy "$signed" 78 "$work/signed-changed.exe"  # a letter of the DOS stub: covered by the signature only

# name | arguments | the step that must fail first (none: every step holds)
cases="shipped|$program --previous $earlier --screenshot $work/window.png|none
signed|$signed --ca-file $fixture/cert.pem|none
payload byte changed|$work/payload-changed.exe|payload
changed after signing|$work/signed-changed.exe --ca-file $fixture/cert.pem|signature"
while IFS='|' read -r name arguments first; do
  code=0
  # shellcheck disable=SC2086 # the arguments are paths without blanks, split on purpose
  "$root/scripts/check-installer" $arguments >"$work/report.txt" 2>&1 || code=$?
  cat "$work/report.txt"
  if [ "$first" = none ]; then
    [ $code -eq 0 ] || fail "$name: check-installer exited with $code"
    ! grep -q '^FAIL' "$work/report.txt" || fail "$name: a step failed"
  else
    [ $code -eq 1 ] || fail "$name: check-installer exited with $code, expected 1"
    grep -q "first at step \"$first\"" "$work/report.txt" || fail "$name: the first failure is not step \"$first\""
  fi
done <<<"$cases"
[ "$(head -c 8 "$work/window.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "the screenshot is no PNG picture"

# xvfb-run | what check-installer must say: an xvfb-run that ends at once without a word (as it does
# when xauth fails), and one that hands over a display nobody answers on.
mkdir -p "$work/bin"
while IFS='|' read -r fake_run said; do
  printf '#!/bin/sh\n%s\n' "$fake_run" >"$work/bin/xvfb-run" && chmod +x "$work/bin/xvfb-run"
  code=0
  PATH=$work/bin:$PATH "$root/scripts/check-installer" "$program" >"$work/report.txt" 2>&1 || code=$?
  cat "$work/report.txt"
  [ $code -eq 1 ] && grep -qF "$said" "$work/report.txt" || fail "no display: exit code $code, not saying \"$said\""
done <<'EOF_CASES'
exit 1|no virtual display: xvfb-run ended with 1 before the check began
shift 5; DISPLAY=:973 exec "$@"|the virtual display :973 does not answer
EOF_CASES
echo "check-installer: passes the shipped and the signed program, fails the changed ones at their step, says why it cannot begin"
