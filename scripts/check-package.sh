#!/usr/bin/env bash
# Builds the Debian package and the .tar.gz, checks the .deb with lintian, installs it, plays
# a piped game with the installed /usr/games/quorvale, finds its manual page, and removes it
# again, leaving the machine as it was. Installs what it needs (Debian, as root).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v lintian >/dev/null || missing+=(lintian)
command -v man >/dev/null || missing+=(man-db)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if dpkg -s quorvale >/dev/null 2>&1; then
  echo "quorvale is already installed here; not touching it" >&2
  exit 1
fi

echo "== building the packages"
rm -rf build/packages
cmake --workflow --preset package >/dev/null
deb=$(echo build/packages/quorvale_*_amd64.deb)
ls build/packages/quorvale-*.tar.gz >/dev/null

echo "== lintian $deb"
lintian --fail-on error "$deb"

scratch=$(mktemp -d)
cleanup() {
  dpkg -r quorvale >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "== cmake --install into a scratch prefix"
cmake --install build/release --prefix "$scratch/usr" >/dev/null
for file in games/quorvale share/man/man6/quorvale.6.gz share/doc/quorvale/copyright; do
  [ -f "$scratch/usr/$file" ] || { echo "cmake --install left out $file" >&2; exit 1; }
done

echo "== installing the .deb, playing and removing"
dpkg -i "$deb" >/dev/null
cmake -DGAME=/usr/games/quorvale -DINPUT=tests/e2e/cases/three_lines.in \
  -DEXPECTED=tests/e2e/cases/three_lines.out -DACTUAL="$scratch/three_lines.actual" \
  -P tests/e2e/check_transcript.cmake
echo "manual page: $(man -w 6 quorvale)"
dpkg -r quorvale >/dev/null
if [ -e /usr/games/quorvale ] || dpkg -s quorvale >/dev/null 2>&1; then
  echo "removing the package left quorvale behind" >&2
  exit 1
fi
echo "package: 1 passed, 0 failed"
