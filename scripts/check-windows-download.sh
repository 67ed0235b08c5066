#!/usr/bin/env bash
# What a Windows player gets: quorvale.exe must carry the game's icon and a version resource
# that names the project's version, and the .zip (packed here) must hold just the .exe, the
# licence, the notices of the runtime linked into it and the player's README, all text files
# with CR LF line ends.
#
#   scripts/check-windows-download.sh EXE ZIP VERSION
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$1
zip=$2
version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "$*" >&2
  exit 1
}

echo "== the .exe's icon and version, read back"
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

echo "== the download, $zip"
cpack --preset windows >/dev/null
listing=$(cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | sort | paste -sd' ')
[ "$listing" = "LICENSE.txt README.txt THIRD-PARTY-LICENSES.txt quorvale.exe" ] ||
  fail "the .zip holds: $listing"
mkdir "$scratch/unzipped"
(cd "$scratch/unzipped" && cmake -E tar xf "$OLDPWD/$zip")
grep -q "winpthreads" "$scratch"/unzipped/*/THIRD-PARTY-LICENSES.txt ||
  fail "THIRD-PARTY-LICENSES.txt does not carry the notices of winpthreads"
for text in LICENSE.txt README.txt THIRD-PARTY-LICENSES.txt; do
  file=$(echo "$scratch"/unzipped/*/"$text")
  lines=$(wc -l <"$file")
  [ "$(grep -c $'\r$' "$file")" = "$lines" ] || fail "$text has a line end without CR"
done
echo "download: 1 passed, 0 failed"
