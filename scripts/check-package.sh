#!/usr/bin/env bash
# Builds the Debian package and the .tar.gz (cpack writes them anew; nothing else in
# build/packages is touched), checks their SHA256SUMS, shows lintian's full pedantic report
# on the .deb and fails on any error, warning or hardening tag; installs the .deb, plays a
# piped game with /usr/games/quorvale, finds its manual page, validates its desktop entry
# and AppStream metadata, plays a game from the desktop entry's command in a terminal, and
# removes it again, leaving the machine as it was; unpacks the .tar.gz into a prefix as the
# README says, plays from there, and removes it as the README says. Tools it lacks are installed with apt-get, as root (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v lintian >/dev/null || missing+=(lintian)
command -v man >/dev/null || missing+=(man-db)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v desktop-file-validate >/dev/null || missing+=(desktop-file-utils)
command -v appstreamcli >/dev/null || missing+=(appstream)
command -v tmux >/dev/null || missing+=(tmux)
command -v file >/dev/null || missing+=(file)
scripts/install-missing.sh "${missing[@]}"

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
desktop_id=invalid.quorvale.Quorvale
for file in games/quorvale share/man/man6/quorvale.6.gz share/doc/quorvale/copyright \
  share/applications/$desktop_id.desktop share/metainfo/$desktop_id.metainfo.xml \
  share/icons/hicolor/scalable/apps/quorvale.svg share/icons/hicolor/48x48/apps/quorvale.png; do
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
tar -tzf "$tarball" --strip-components=1 --show-transformed-names | grep -v '/$' |
  (cd "$scratch/prefix" && xargs rm)
left=$(find "$scratch/prefix" -type f)
[ -z "$left" ] || { echo "the README's removal left: $left" >&2; exit 1; }

echo "== installing the .deb, playing and removing"
dpkg -i "$deb" >/dev/null
play /usr/games/quorvale
echo "manual page: $(man -w 6 quorvale)"

echo "== the desktop entry and AppStream metadata, as installed"
entry=/usr/share/applications/$desktop_id.desktop
report=$(desktop-file-validate "$entry" 2>&1)
[ -z "$report" ] || { echo "$report" >&2; exit 1; }
appstreamcli validate --no-net "/usr/share/metainfo/$desktop_id.metainfo.xml" | tee "$scratch/appstream"
if grep -E '^[EW]: ' "$scratch/appstream" >/dev/null; then
  echo "appstreamcli found an error or a warning" >&2
  exit 1
fi
for size in 16 24 32 48 64 128 256; do
  icon=/usr/share/icons/hicolor/${size}x$size/apps/quorvale.png
  [ "$(file -b "$icon" | grep -o '[0-9]* x [0-9]*')" = "$size x $size" ] ||
    { echo "$icon is not $size pixels square" >&2; exit 1; }
done

# As the desktop starts it (Terminal=true: in a terminal window), with the PATH Debian gives
# a desktop user, which has /usr/games.
command=$(sed -n 's/^Exec=//p' "$entry")
echo "== playing the desktop entry's command, $command, in a terminal"
PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games \
  scripts/play-in-console.sh "$command" "Press any key to continue . . ."
dpkg -r quorvale >/dev/null
if [ -e /usr/games/quorvale ] || dpkg -s quorvale >/dev/null 2>&1; then
  echo "removing the package left quorvale behind" >&2
  exit 1
fi
echo "package: 1 passed, 0 failed"
