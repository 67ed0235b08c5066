#!/usr/bin/env bash
# Builds every package (scripts/build-packages.sh) and checks what a Linux player gets:
#  - SHA256SUMS lists the six packages, and they match it;
#  - lintian's full pedantic report on both .debs, failing on any error, warning or
#    hardening tag;
#  - every transcript case, played by the game of each Linux package: the .debs' (arm64
#    under qemu-user) and the portable ones, which must be static, x86-64 in an empty root
#    with no C library, aarch64 under qemu-user;
#  - the x86-64 .tar.gz installed over a prefix whose folders already exist, and removed,
#    with the README's own commands: those folders keep their modes, owners and times;
#  - the amd64 .deb installed, played as /usr/games/quorvale, its manual page found, its
#    desktop entry and AppStream metadata validated, a game played by the desktop entry's
#    command in a terminal, and removed without a trace;
#  - `cmake --install` into a scratch prefix: the .deb's files, less Debian's own.
# Tools it lacks are installed with apt-get, as root (Debian).
source "$(dirname "$0")/lib.sh"
require lintian=lintian man=man-db desktop-file-validate=desktop-file-utils \
  appstreamcli=appstream tmux=tmux file=file qemu-aarch64-static=qemu-user-static
if dpkg -s quorvale >/dev/null 2>&1; then
  fail "quorvale is already installed here; not touching it"
fi
# play_transcripts [LAUNCHER...] GAME: every transcript case, played by a packaged game.
play_transcripts() {
  cmake "-DLAUNCHER=$(IFS=';'; echo "${*:1:$#-1}")" "-DGAME=${!#}" -P tests/e2e/check_transcript.cmake
}

echo "== building every package"
scripts/build-packages.sh >/dev/null
version=$(project_version)
packages=build/packages
deb=$packages/quorvale_${version}-1_amd64.deb
deb_arm64=$packages/quorvale_${version}-1_arm64.deb
tarball=$packages/quorvale-${version}-linux-x86_64.tar.gz
tarball_aarch64=$packages/quorvale-${version}-linux-aarch64.tar.gz
(cd $packages && sha256sum --check --strict SHA256SUMS)
[ "$(wc -l <$packages/SHA256SUMS)" = 6 ] || fail "SHA256SUMS does not list six packages"

for package in "$deb" "$deb_arm64"; do
  echo "== lintian -I --pedantic $package"
  report=$(lintian -I --pedantic "$package" 2>&1 | grep -v "running with root privileges" || true)
  [ -z "$report" ] && echo "(no tags)" || echo "$report"
  if grep -E '^[EW]: |hardening-' <<<"$report" >/dev/null; then
    fail "lintian found an error, a warning or a hardening tag"
  fi
done

scratch=$(mktemp -d)
cleanup() {
  dpkg -r quorvale >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "== every transcript case, with each Linux package's game"
dpkg-deb -x "$deb_arm64" "$scratch/arm64"
play_transcripts qemu-aarch64-static "$scratch/arm64/usr/games/quorvale"
for archive in "$tarball" "$tarball_aarch64"; do
  mkdir -p "$scratch/unpacked"
  tar -xzf "$archive" --strip-components=1 -C "$scratch/unpacked"
  game=$scratch/unpacked/games/quorvale
  # Static: no program interpreter and no shared library to load.
  if readelf -lW "$game" | grep -q INTERP || readelf -dW "$game" | grep -q NEEDED; then
    fail "the game in $archive is not static"
  fi
  if [ "$archive" = "$tarball" ]; then
    mkdir "$scratch/empty-root"  # nothing in it but the game: no C library, no loader
    cp "$game" "$scratch/empty-root/"
    play_transcripts chroot "$scratch/empty-root" /quorvale
  else
    play_transcripts qemu-aarch64-static "$game"
  fi
  rm -rf "$scratch/unpacked"
done

echo "== the .tar.gz installed over folders that exist, and removed, as the README says"
prefix=$scratch/prefix
existing=(games share share/applications share/doc share/icons share/icons/hicolor
  share/man share/man/man6 share/metainfo)
for folder in "${existing[@]}"; do
  mkdir -p "$prefix/$folder"
  chgrp staff "$prefix/$folder"
  chmod 2775 "$prefix/$folder"
done
# Folders that get no new entry of their own must keep their times as well.
touch -d 2001-02-03T04:05:06Z "$prefix/share" "$prefix/share/man" "$prefix/share/icons"
folders() {
  (cd "$prefix" && stat -c '%n %a %U:%G' "${existing[@]}" &&
    stat -c '%n %Y' share share/man share/icons)
}
before=$(folders)
grep -q "$(basename "$tarball")" README.md || fail "the README does not name $(basename "$tarball")"
readme_commands() {
  sed -e 's/sudo //g' -e "s|/usr/local|$prefix|g" \
    -e "s|quorvale-[0-9.]*-linux-x86_64.tar.gz|$PWD/$tarball|g"
}
bash -euo pipefail -c "$(grep '^sudo tar -xzf quorvale' README.md | readme_commands)"
[ "$(folders)" = "$before" ] || fail "installing changed folders that were there:
$(diff <(echo "$before") <(folders))"
play_transcripts "$prefix/games/quorvale" >/dev/null
bash -euo pipefail -c "$(sed -n '/^tar -tzf quorvale/,/rmdir/p' README.md | readme_commands)"
# Left: the folders that were there, and empty folders of the icon theme, which every
# icon shares.
left=$(find "$prefix" -mindepth 1 -not \( -path "$prefix/share/icons/hicolor/*" -type d \) |
  sed "s|^$prefix/||" | sort | paste -sd' ')
[ "$left" = "$(printf '%s\n' "${existing[@]}" | sort | paste -sd' ')" ] ||
  fail "the README's removal left: $left"
(cd "$prefix" && stat -c '%n %a %U:%G' "${existing[@]}") | diff - <(head -n ${#existing[@]} <<<"$before") ||
  fail "removing changed folders that were there"

echo "== cmake --install into a scratch prefix: the .deb's files, less Debian's own"
cmake --install build/release --prefix "$scratch/usr" >/dev/null
diff <(cd "$scratch" && find usr -type f | sort) <(dpkg-deb -c "$deb" | awk '/^-/ { print substr($6, 3) }' |
  grep -v -e changelog.Debian.gz -e lintian/overrides | sort) || fail "cmake --install differs so"

echo "== installing the .deb, playing and removing"
dpkg -i "$deb" >/dev/null
play_transcripts /usr/games/quorvale
echo "manual page: $(man -w 6 quorvale)"

echo "== the desktop entry and AppStream metadata, as installed"
desktop_id=invalid.quorvale.Quorvale
entry=/usr/share/applications/$desktop_id.desktop
report=$(desktop-file-validate "$entry" 2>&1)
[ -z "$report" ] || fail "$report"
appstreamcli validate --no-net "/usr/share/metainfo/$desktop_id.metainfo.xml" | tee "$scratch/appstream"
if grep -E '^[EW]: ' "$scratch/appstream" >/dev/null; then
  fail "appstreamcli found an error or a warning"
fi
for size in 16 24 32 48 64 128 256; do
  icon=/usr/share/icons/hicolor/${size}x$size/apps/quorvale.png
  [ "$(file -b "$icon" | grep -o '[0-9]* x [0-9]*')" = "$size x $size" ] ||
    fail "$icon is not $size pixels square"
done

# As the desktop starts it (Terminal=true: in a terminal window), with the PATH Debian gives
# a desktop user, which has /usr/games.
command=$(sed -n 's/^Exec=//p' "$entry")
echo "== playing the desktop entry's command, $command, in a terminal"
PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games \
  scripts/play-in-console.sh "$command" "Press any key to continue . . ."
dpkg -r quorvale >/dev/null
if [ -e /usr/games/quorvale ] || dpkg -s quorvale >/dev/null 2>&1; then
  fail "removing the package left quorvale behind"
fi
echo "package: 1 passed, 0 failed"
