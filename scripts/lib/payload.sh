# Sourced by the scripts that pack payloads or read installers: the release engineers' tool,
# lexmora-payload, and the version value of the product's payloads.
lexmora_source_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# The version value of the product's payloads: it follows the product version
# (cmake/ProductVersion.cmake derives it).
payload_version() {
  cmake -P "$lexmora_source_root/cmake/ProductVersion.cmake" | sed -n 's/^payload-version //p'
}

# Prints the lexmora-payload to use: LEXMORA_PAYLOAD_TOOL when set, otherwise that of the host
# build in the build folder BUILD, built or brought up to date first under the host build's lock.
payload_tool() {
  local build=$1
  if [ -n "${LEXMORA_PAYLOAD_TOOL:-}" ]; then
    echo "$LEXMORA_PAYLOAD_TOOL"
    return
  fi
  mkdir -p "$build"
  (
    flock 9
    if [ ! -e "$build/host/build.ninja" ]; then
      (cd "$lexmora_source_root" && cmake --preset host -B "$build/host" >/dev/null)
    fi
    cmake --build "$build/host" --target lexmora_host_tools >/dev/null
  ) 9>"$build/.host.lock"
  echo "$build/host/tools/payload/lexmora-payload"
}
