# Sourced by the benchmarks: the realistic payload they share and the installers that carry it.
# About 150 MB of real Windows program files taken from the Wine installation, always the same ones
# (files of at least 128 KiB, every third by name, until 150 MB), about a hundred of them in up to
# three folder levels; and a payload of the first tenth of those files.
#
# make_bench_installers BUILD ROOT  fills BUILD/bench with tree/, small/, payload.bin, small.bin,
#   bench-setup-x86.exe and bench-small-x86.exe (the shipped program), bench-setup-x64.exe and
#   bench-small-x64.exe (the twin), and, when makensis is there, the peers peer-x86.exe and
#   peer-x64.exe of the same files.
# shellcheck source=payload.sh
. "$(dirname "${BASH_SOURCE[0]}")/payload.sh"

make_bench_installers() {
  local build=$1 root=$2
  local tool=$build/host/tools/payload/lexmora-payload bench=$build/bench start source
  source=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
  [ -d "$source" ] || { echo "bench: $source is missing (package wine64)" >&2; exit 1; }

  # The files, and where each goes: programs at the root, libraries spread over three subfolders.
  rm -rf "$bench/tree" "$bench/small"
  mkdir -p "$bench/tree" "$bench/small"
  local file folder index files folders
  mapfile -t files < <(python3 - "$source" <<'PYTHON'
import os, sys
source = sys.argv[1]
names = sorted(n for n in os.listdir(source) if os.path.isfile(os.path.join(source, n)))
large = [n for n in names if os.path.getsize(os.path.join(source, n)) >= 128 * 1024]
total = 0
for name in large[::3]:
    if total >= 150_000_000:
        break
    total += os.path.getsize(os.path.join(source, name))
    print(name)
PYTHON
  )
  folders=("" "lib" "plugins/codecs" "plugins/render/opengl")
  index=0
  for file in "${files[@]}"; do
    case $file in *.exe) folder="" ;; *) folder=${folders[$((index % 4))]} ;; esac
    mkdir -p "$bench/tree/$folder"
    cp "$source/$file" "$bench/tree/$folder/"
    if [ $index -lt $(( ${#files[@]} / 10 )) ]; then
      mkdir -p "$bench/small/$folder"
      cp "$source/$file" "$bench/small/$folder/"
    fi
    index=$((index + 1))
  done
  echo "== payload: ${#files[@]} files, $(du -sb "$bench/tree" | cut -f1) bytes in $bench/tree"

  local version
  version=$(payload_version)
  start=$(date +%s%N)
  "$tool" pack --version "$version" "$bench/tree" "$bench/payload.bin"
  echo "pack took $(( ($(date +%s%N) - start) / 1000000 )) ms (host tool, built with sanitizers)"
  "$tool" pack --version "$version" "$bench/small" "$bench/small.bin" >/dev/null
  "$root/scripts/build-installer" --payload-file "$bench/payload.bin" --output "$bench/bench-setup-x86.exe" --arch x86
  "$root/scripts/build-installer" --payload-file "$bench/small.bin" --output "$bench/bench-small-x86.exe" --arch x86
  "$root/scripts/build-installer" --payload-file "$bench/payload.bin" --output "$bench/bench-setup-x64.exe" --arch x64
  "$root/scripts/build-installer" --payload-file "$bench/small.bin" --output "$bench/bench-small-x64.exe" --arch x64
  if command -v makensis >/dev/null; then
    local target
    for target in x86 x64; do
      makensis -V1 -DTREE="$bench/tree" -DOUT="$bench/peer-$target.exe" \
        -DTARGET="$( [ $target = x86 ] && echo x86-unicode || echo amd64-unicode )" "$root/bench/peer-installer.nsi"
    done
    echo "peers: $(stat -c %s "$bench/peer-x86.exe") and $(stat -c %s "$bench/peer-x64.exe") bytes (makensis, zlib)"
  fi
}
