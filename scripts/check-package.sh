#!/usr/bin/env bash
# Builds the Debian package and the .tar.gz (cpack writes them anew; nothing else in
# build/packages is touched), checks their SHA256SUMS, shows lintian's full pedantic report
# on the .deb and fails on any error, warning or hardening tag; installs the .deb, plays a
# piped game with /usr/games/quorvale, finds its manual page and removes it again, leaving
# the machine as it was; unpacks the .tar.gz into a prefix as the README says and plays
# from there. Tools it lacks are installed with apt-get, as root (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v lintian >/dev/null || missing+=(lintian)
command -v man >/dev/null || missing+=(man-db)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${missing[*]} (apt-get, as root)"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if dpkg -s quorvale >/dev/null 2>&1; then
  echo "quorvale is already installed here; not touching it" >&2
  exit 1
fi

echo "== building the packages"
cmake --workflow --preset package >/dev/null
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/release/CPackConfig.cmake)
deb=build/packages/quorvale_${version}-1_$(dpkg --print-architecture).deb
tarball=build/packages/quorvale-${version}-Linux.tar.gz
(cd build/packages && sha256sum --check --ignore-missing SHA256SUMS)

echo "== lintian -I --pedantic $deb"
report=$(lintian -I --pedantic "$deb" 2>&1 | grep -v "running with root privileges" || true)
[ -z "$report" ] && echo "(no tags)" || echo "$report"
if grep -E '^[EW]: |hardening-' <<<"$report" >/dev/null; then
  echo "lintian found an error, a warning or a hardening tag" >&2
  exit 1
fi

scratch=$(mktemp -d)
cleanup() {
  dpkg -r quorvale >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# play GAME: one transcript case, compared byte for byte.
play() {
  cmake -DGAME="$1" -DINPUT=tests/e2e/cases/three_lines.in \
    -DEXPECTED=tests/e2e/cases/three_lines.out -DACTUAL="$scratch/three_lines.actual" \
    -P tests/e2e/check_transcript.cmake
}

echo "== cmake --install into a scratch prefix"
cmake --install build/release --prefix "$scratch/usr" >/dev/null
for file in games/quorvale share/man/man6/quorvale.6.gz share/doc/quorvale/copyright; do
  [ -f "$scratch/usr/$file" ] || { echo "cmake --install left out $file" >&2; exit 1; }
done
[ ! -e "$scratch/usr/share/doc/quorvale/changelog.Debian.gz" ] ||
  { echo "cmake --install put in the Debian changelog" >&2; exit 1; }

echo "== the .tar.gz unpacked into a prefix, as the README says"
mkdir "$scratch/prefix"
tar -xzf "$tarball" --strip-components=1 -C "$scratch/prefix"
grep -q "^License: Expat" "$scratch/prefix/share/doc/quorvale/copyright"
[ ! -e "$scratch/prefix/share/doc/quorvale/changelog.Debian.gz" ] ||
  { echo "the .tar.gz carries the Debian changelog" >&2; exit 1; }
play "$scratch/prefix/games/quorvale"

echo "== installing the .deb, playing and removing"
dpkg -i "$deb" >/dev/null
play /usr/games/quorvale
echo "manual page: $(man -w 6 quorvale)"
dpkg -r quorvale >/dev/null
if [ -e /usr/games/quorvale ] || dpkg -s quorvale >/dev/null 2>&1; then
  echo "removing the package left quorvale behind" >&2
  exit 1
fi
echo "package: 1 passed, 0 failed"
