#!/usr/bin/env bash
# What a Windows player gets, built on Linux with MinGW-w64 and run under Wine:
#  - quorvale.exe imports only the system's DLLs, and carries the game's icon and a version
#    resource that names the project's version;
#  - every transcript case, played under Wine's command interpreter, which has a real PAUSE
#    (CTest, the windows test preset);
#  - the .zip holds just the .exe, the licence, the notices of the runtime linked into it and
#    the player's README, all text with CR LF line ends;
#  - one game played in a console, typed as a player would.
source "$(dirname "$0")/lib.sh"
require wine=wine,wine64 x86_64-w64-mingw32-g++-posix=g++-mingw-w64-x86-64-posix tmux=tmux \
  zip=zip wrestool=icoutils ninja=ninja-build
version=$(project_version)
exe=build/windows/quorvale.exe
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== building quorvale.exe and playing every transcript case under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows

imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "imports: $(echo $imports)"
others=$(grep -v -i -x -E 'kernel32\.dll|msvcrt\.dll|ucrtbase\.dll|api-ms-win-crt-.*\.dll' <<<"$imports" || true)
[ -z "$others" ] || fail "quorvale.exe needs these beside it: $others"

wrestool -x --type=14 -o "$scratch" "$exe"
[ "$(icotool -l "$scratch"/*.ico)" = "$(icotool -l doc/icon/quorvale.ico)" ] ||
  fail "the .exe's icon is not doc/icon/quorvale.ico"
wrestool -x --raw --type=16 "$exe" >"$scratch/version"
# The fixed part: the file version as two little-endian words after the 0xFEEF04BD signature.
hex=$(od -An -tx1 -v "$scratch/version" | tr -d ' \n')
fixed=${hex#*bd04effe}
word() { echo $((16#${1:6:2}${1:4:2}${1:2:2}${1:0:2})); }
high=$(word "${fixed:8:8}")
low=$(word "${fixed:16:8}")
fixed_version="$((high >> 16)).$((high & 0xffff)).$((low >> 16))"
[ "$fixed_version" = "$version" ] || fail "the file version is $fixed_version, not $version"
for field in FileVersion ProductVersion; do
  value=$(strings -el "$scratch/version" | grep -A1 -x "$field" | tail -1)
  [ "$value" = "$version" ] || fail "$field is \"$value\", not $version"
done
echo "icon: $(icotool -l "$scratch"/*.ico | sed 's/.*--width=\([0-9]*\).*/\1/' | paste -sd' ') px;" \
  "version: $fixed_version, $(strings -el "$scratch/version" | grep -A1 -x ProductName | tail -1)"

# Packed in a folder of its own: a release folder is left as its SHA256SUMS has it.
zip=build/windows-package/quorvale-$version-win64.zip
echo "== the download, $zip"
cpack --preset windows -B "$PWD/build/windows-package" >/dev/null
listing=$(cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | sort | paste -sd' ')
[ "$listing" = "LICENSE.txt README.txt THIRD-PARTY-LICENSES.txt quorvale.exe" ] ||
  fail "the .zip holds: $listing"
mkdir "$scratch/unzipped"
(cd "$scratch/unzipped" && cmake -E tar xf "$OLDPWD/$zip")
grep -q "winpthreads" "$scratch"/unzipped/*/THIRD-PARTY-LICENSES.txt ||
  fail "THIRD-PARTY-LICENSES.txt does not carry the notices of winpthreads"
for text in LICENSE.txt README.txt THIRD-PARTY-LICENSES.txt; do
  file=$(echo "$scratch"/unzipped/*/"$text")
  [ "$(grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ] || fail "$text has a line end without CR"
done

echo "== playing in a console under Wine, as a player would"
# The prefix the tests made; Wine's command interpreter words its PAUSE prompt its own way.
export WINEPREFIX=$PWD/build/windows/wine WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
scripts/play-in-console.sh "wine $exe" "Press any key to continue..."
wineserver -k 2>/dev/null || true
release_folder_untouched
echo "windows: 1 passed, 0 failed"
