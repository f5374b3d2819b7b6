#!/usr/bin/env bash
# scripts/build-installer as tests use it: two installers built at once in one build folder, one
# from a folder and one from a broken payload file, whose bytes must arrive unchanged; and the
# folders that would make a broken installer, refused without writing anything.
# usage: check_build_installer.sh TOOL WORK_FOLDER
set -euo pipefail
tool=$1 work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/payload.sh"
rm -rf "$work/cases" && mkdir -p "$work/cases/tree/sub"
printf 'hello' > "$work/cases/tree/lexmora.exe"
printf 'chat' > "$work/cases/tree/parlavo.exe"
printf 'data' > "$work/cases/tree/sub/data.txt"
printf '\002\000\000\010VERSION\000\001\000\000' > "$work/cases/broken.bin"  # a file chunk cut short

export LEXMORA_BUILD_DIR=$work LEXMORA_PAYLOAD_TOOL=$tool
"$root/scripts/build-installer" --payload-dir "$work/cases/tree" --output "$work/cases/good.exe" &
good=$!
"$root/scripts/build-installer" --payload-file "$work/cases/broken.bin" --output "$work/cases/broken.exe"
wait $good

fail() { echo "FAILED: $*" >&2; exit 1; }
wrestool -x --raw --type=256 --name=256 "$work/cases/broken.exe" | cmp - "$work/cases/broken.bin" \
  || fail "the broken payload did not arrive unchanged"
if "$tool" verify "$work/cases/broken.exe" 2>"$work/cases/verify.txt"; then fail "a broken payload verified"; fi
grep -q "#extractor_invalid_chunk_error" "$work/cases/verify.txt" || fail "unexpected report: $(cat "$work/cases/verify.txt")"
"$tool" pack --version "$(payload_version)" "$work/cases/tree" "$work/cases/expected.bin" >/dev/null
wrestool -x --raw --type=256 --name=256 "$work/cases/good.exe" | cmp - "$work/cases/expected.bin" \
  || fail "the folder's payload differs from what pack makes of it"
"$tool" verify "$work/cases/good.exe" >/dev/null || fail "the folder's payload does not verify"
if "$root/scripts/build-installer" --payload-file "$work/cases/missing.bin" --output "$work/cases/x.exe" 2>/dev/null; then
  fail "a missing payload file was accepted"
fi

refused() {  # folder, what the refusal must say
  local code=0
  "$root/scripts/build-installer" --payload-dir "$1" --output "$work/cases/refused/setup.exe" \
    2>"$work/cases/refused.txt" >/dev/null || code=$?
  [ $code -eq 1 ] || fail "$1: exit code $code, expected 1"
  grep -q "$2" "$work/cases/refused.txt" || fail "$1: the refusal does not say \"$2\": $(cat "$work/cases/refused.txt")"
  [ ! -e "$work/cases/refused" ] || fail "$1 was refused, but left $(ls -A "$work/cases/refused")"
}
mkdir -p "$work/cases/no-programs/bin"
printf 'hello' > "$work/cases/no-programs/bin/lexmora.exe"
refused "$work/cases/no-programs" "it has no file lexmora.exe or parlavo.exe"
cp -r "$work/cases/tree" "$work/cases/link-out"
ln -s "$work/cases/broken.bin" "$work/cases/link-out/sub/outside.bin"
refused "$work/cases/link-out" "sub/outside.bin: a symbolic link that leads outside the folder"
echo "build-installer: both installers carry their payloads as given; broken folders are refused"
