#!/usr/bin/env bash
# Cross-compiles quorvale.exe with MinGW-w64, plays every transcript case under Wine, whose
# command interpreter has a real PAUSE, and then one game in a console, typed as a player
# would. Installs what it needs (Debian, as root).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v wine >/dev/null || missing+=(wine wine64)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
command -v tmux >/dev/null || missing+=(tmux)
command -v zip >/dev/null || missing+=(zip)
command -v wrestool >/dev/null || missing+=(icoutils)
scripts/install-missing.sh "${missing[@]}"

echo "== building quorvale.exe"
cmake --preset windows >/dev/null
cmake --build --preset windows
exe=build/windows/quorvale.exe

# Self-contained: the only DLLs it may import are the system's own.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "imports: $(echo $imports)"
while read -r dll; do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
    *) echo "quorvale.exe needs $dll beside it" >&2; exit 1 ;;
  esac
done <<<"$imports"

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/windows/CPackConfig.cmake)
scripts/check-windows-download.sh "$exe" "build/packages/quorvale-$version-win64.zip" "$version"

# A throwaway Wine prefix, and no window system, desktop menus or debug chatter.
scratch=$(mktemp -d)
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
echo "== creating a Wine prefix"
wineboot -i >/dev/null 2>&1

# Input comes from files so Wine's PAUSE meets the end of input instead of waiting.
echo "== playing every transcript case under Wine"
scripts/play-transcripts.sh --windows wine "$exe"

echo "== playing in a console under Wine, as a player would"
# Wine's command interpreter words its PAUSE prompt its own way.
scripts/play-in-console.sh "wine $exe" "Press any key to continue..."
