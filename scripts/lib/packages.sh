# Sourced by the project's scripts: installs the Debian packages a step needs when they are
# missing. One `apt-get update` per run at most, and nothing at all when everything is present.

LEXMORA_BUILD_PACKAGES=(
  cmake ninja-build g++ zlib1g-dev libssl-dev python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
)
LEXMORA_RUN_PACKAGES=(wine64 xvfb xauth x11-apps imagemagick xdotool)
LEXMORA_TEST_PACKAGES=(googletest icoutils wixl msitools clang libclang-rt-14-dev)

ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing Debian packages: ${missing[*]}" >&2
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  if [ -z "${LEXMORA_APT_UPDATED:-}" ]; then
    "${sudo[@]}" apt-get update -qq || return 1
    export LEXMORA_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
