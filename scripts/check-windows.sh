#!/usr/bin/env bash
# Cross-compiles quorvale.exe with MinGW-w64, plays every transcript case under Wine, whose
# command interpreter has a real PAUSE, and then one game in a console, typed as a player
# would. Installs what it needs (Debian, as root).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v wine >/dev/null || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
  ! command -v tmux >/dev/null || ! command -v zip >/dev/null; then
  echo "== installing MinGW-w64, Wine, tmux and zip (apt-get, as root)"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    wine wine64 g++-mingw-w64-x86-64-posix tmux zip >/dev/null
fi

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

# The Windows package is a .zip holding the .exe, the licence and a README.
cpack --preset windows >/dev/null
zip_listing=$(cmake -E tar tf build/packages/quorvale-*-win64.zip)
for file in quorvale.exe LICENSE.txt README.md; do
  grep -q "/$file\$" <<<"$zip_listing" || { echo "the .zip lacks $file" >&2; exit 1; }
done

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
failed=0
passed=0
for input in tests/e2e/cases/*.in; do
  case_name=$(basename "$input" .in)
  if cmake -DGAME="$exe" -DLAUNCHER=wine -DWINDOWS=ON -DTIMEOUT=60 \
    -DINPUT="$input" -DEXPECTED="tests/e2e/cases/$case_name.out" \
    -DACTUAL="$scratch/$case_name.actual" -P tests/e2e/check_transcript.cmake; then
    echo "ok   $case_name"
    passed=$((passed + 1))
  else
    echo "FAIL $case_name"
    failed=$((failed + 1))
  fi
done
echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

echo "== playing in a console under Wine, as a player would"
scripts/check-windows-console.sh "$exe"

