# Sourced by the project's scripts: installs the Debian packages a step needs when they are
# missing. One `apt-get update` per run at most, and nothing at all when everything is present.
# Each list names what one kind of step needs, so a step can never need more than it installs:
# scripts/build installs the build lists itself, and every command that runs Windows programs
# calls ensure_wine.

# Compiling and packing: the host tools, both cross builds and the sample payload. The host build
# always defines its native tests, so GoogleTest's sources are needed to configure it. dpkg-dev's
# dpkg-source unpacks libdeflate's source package (scripts/fetch-libdeflate).
LEXMORA_BUILD_PACKAGES=(
  cmake ninja-build g++ zlib1g-dev libssl-dev python3 googletest dpkg-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
)
# Compiling the Windows test programs as well (scripts/build --tests): wixl for the Windows
# Installer packages the tests remove.
LEXMORA_TEST_BUILD_PACKAGES=(wixl msitools)
# The fuzz targets (scripts/fuzz-payload): clang and its sanitizer runtime.
LEXMORA_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Running Windows programs on a virtual display, and looking at them.
LEXMORA_RUN_PACKAGES=(wine64 fonts-wine xvfb xauth x11-apps imagemagick xdotool)
# Checking a built installer (scripts/check-installer): signatures, the program's version
# resource, shell links, each read by a tool the project did not write.
LEXMORA_CHECK_PACKAGES=(osslsigncode python3-pefile liblnk-utils)
# What the tests read the results with, besides the checker's tools (the tests run it).
LEXMORA_TEST_PACKAGES=(icoutils openssl)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing Debian packages: ${missing[*]}" >&2
  if [ -z "${LEXMORA_APT_UPDATED:-}" ]; then
    as_root apt-get update -qq || return 1
    export LEXMORA_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Wine for both kinds of Windows program: the shipped installer is 32-bit, so its half of Wine
# (wine32, from the i386 architecture) is installed beside the 64-bit one.
ensure_wine() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture for Wine's 32-bit half" >&2
    as_root dpkg --add-architecture i386
    unset LEXMORA_APT_UPDATED  # the new architecture's package lists are needed
  fi
  ensure_packages "${LEXMORA_RUN_PACKAGES[@]}" wine32:i386
}
