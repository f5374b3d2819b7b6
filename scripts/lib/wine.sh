# Sourced by the scripts that run Windows programs: the project's one Wine environment
# (scripts/lib/wine.env, which the tests read too) and what the scripts do with it.
set -a
# shellcheck source=wine.env
. "$(dirname "${BASH_SOURCE[0]}")/wine.env"
set +a

wine() { "$LEXMORA_WINE" "$@"; }

# Windows' view of a Linux path: Wine's drive Z: is the Linux root.
windows_path() { echo "Z:${1//\//\\}"; }

# True when Wine runs 32-bit Windows programs in the booted prefix WINEPREFIX: a 32-bit console
# program, compiled here, must exit with the code it was told. Some machines cannot run i386
# code at all ("Exec format error"), and a prefix booted before wine32 was installed cannot run
# 32-bit programs either.
wine_runs_32bit() {
  local probe
  probe=$(mktemp -d /tmp/lexmora-wine32.XXXXXX)
  printf 'int main(void) { return 42; }\n' >"$probe/probe.c"
  i686-w64-mingw32-gcc -s -o "$probe/probe.exe" "$probe/probe.c" || { rm -rf "$probe"; return 1; }
  local code=0
  wine "$probe/probe.exe" </dev/null >/dev/null 2>&1 || code=$?
  rm -rf "$probe"
  [ $code -eq 42 ]
}

# Lets Wine in the prefix WINEPREFIX draw windows as Windows does, for pictures: its own frames,
# which need its own window management (the prefixes of tests are unmanaged), and its fonts, which
# Debian's Wine does not find in its data folder but finds in the prefix (package fonts-wine).
wine_draw_like_windows() {
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f </dev/null >/dev/null 2>&1 || true
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
}
