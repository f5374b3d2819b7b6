#!/usr/bin/env bash
# The signed installer under Wine, in the harness's prefix: it installs and uninstalls quietly,
# and the uninstaller it leaves is the signed program byte for byte, so its signature verifies.
#   check_signed_install.sh FIXTURE_FOLDER SIGNED_PROGRAM WINE_LOADER
# (WINEPREFIX and the rest of the Wine environment come from the test's environment.)
set -euo pipefail
out=$1 program=$2 loader=$3
fail() { echo "FAILED: $*" >&2; exit 1; }
users=("$WINEPREFIX"/drive_c/users/*/AppData/Local)
uninstaller="${users[0]}/Apps/Lexmora 3/uninstall.exe"

"$loader" "$program" /quiet </dev/null >/dev/null 2>&1 || fail "the signed installer's quiet install failed ($?)"
[ -f "$uninstaller" ] || fail "no uninstaller at $uninstaller"
cmp -s "$program" "$uninstaller" || fail "the uninstaller is not the signed program byte for byte"
osslsigncode verify -CAfile "$out/cert.pem" -in "$uninstaller" >"$out/uninstaller-verify.txt" 2>&1 ||
  fail "the installed uninstaller does not verify: $(tail -3 "$out/uninstaller-verify.txt")"
"$loader" "$program" /uninstall /quiet </dev/null >/dev/null 2>&1 || fail "the quiet uninstall failed ($?)"
[ ! -e "$uninstaller" ] || fail "the uninstall left $uninstaller"
echo "signed install: installed, its uninstaller verifies, uninstalled"
