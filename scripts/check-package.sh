#!/usr/bin/env bash
# Builds every package (scripts/build-packages.sh), which must refuse a tree with uncommitted
# changes, and checks what a Linux player gets:
#  - the release folder holds just the files SHA256SUMS lists, and they match it;
#  - the source archive holds the commit's files and its date, builds offline with the
#    README's command, and rebuilds the .deb, the x86-64 .tar.gz and .rpm byte for byte, with
#    no git; the portable builds' notices name it and the C library's source package, whose
#    files are all there, at the version linked in;
#  - the unpacked source built as Debian's own packaging would (debhelper's CMake build
#    system, dpkg-buildpackage), its tests passing, its game playing, its menu entry
#    naming an installed file;
#  - lintian's full pedantic report on both .debs, failing on any error, warning or
#    hardening tag; rpmlint on both .rpms, failing on any error, and neither relocatable;
#  - the aarch64 static game compiled against the headers of the C library linked in;
#  - every transcript case, played by the game of each Linux package: the .debs' (arm64
#    under qemu-user) and the portable ones, which must be static, x86-64 in an empty root
#    with no C library, aarch64 under qemu-user; each .rpm installed into an empty root with
#    rpm --root, played there and removed, leaving no file;
#  - the x86-64 .tar.gz installed over a prefix whose folders already exist, and removed,
#    with the README's own commands: those folders keep their modes and owners, and the
#    ones it makes are readable by everyone, under umask 077 too;
#  - the amd64 .deb installed, played as /usr/games/quorvale, its manual page found, its
#    desktop entry and AppStream metadata validated, a game played by the desktop entry's
#    command in a terminal, and removed without a trace;
#  - `cmake --install` into a scratch prefix: the .deb's files, less Debian's own, with a
#    desktop entry that starts the game by its path; the same files where every install
#    folder is given absolute, and an absolute Exec= where the prefix is relative;
#  - a packager's hardening flags left as given.
# Tools it lacks are installed with apt-get, as root (Debian).
source "$(dirname "$0")/lib.sh"
require lintian=lintian man=man-db desktop-file-validate=desktop-file-utils dh=debhelper \
  appstreamcli=appstream tmux=tmux file=file qemu-aarch64-static=qemu-user-static \
  rpmlint=rpmlint
if dpkg -s quorvale >/dev/null 2>&1; then
  fail "quorvale is already installed here; not touching it"
fi
# play_transcripts [LAUNCHER...] GAME: every transcript case, played by a packaged game.
play_transcripts() {
  cmake "-DLAUNCHER=$(IFS=';'; echo "${*:1:$#-1}")" "-DGAME=${!#}" -P tests/transcript/play_every_case.cmake
}
# readme_block NAME: the README's code block after the line <!-- NAME: ... -->.
readme_block() {
  sed -n "/^<!-- $1:/,/^\`\`\`\$/p" README.md | sed '1,2d;$d'
}

scratch=$(mktemp -d)
cleanup() {
  dpkg -r quorvale >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "== a release is built from one commit: a tree with changes is refused"
git clone --quiet --no-local . "$scratch/changed"
echo "a change" >>"$scratch/changed/README.md"
if (cd "$scratch/changed" && scripts/build-packages.sh) >"$scratch/changed.log" 2>&1 ||
  ! grep -q "uncommitted changes" "$scratch/changed.log"; then
  fail "build-packages.sh did not refuse a tree with uncommitted changes"
fi
rm -rf "$scratch/changed"

echo "== building every package"
scripts/build-packages.sh >/dev/null
version=$(project_version)
packages=build/packages
deb=$packages/quorvale_${version}-1_amd64.deb
deb_arm64=$packages/quorvale_${version}-1_arm64.deb
tarball=$packages/quorvale-${version}-linux-x86_64.tar.gz
tarball_aarch64=$packages/quorvale-${version}-linux-aarch64.tar.gz
rpms=("$packages/quorvale-${version}-1.x86_64.rpm" "$packages/quorvale-${version}-1.aarch64.rpm")
source_archive=$packages/quorvale-${version}.tar.gz
# The folder holds just what SHA256SUMS lists, and no folder of its own.
release_folder_untouched

echo "== the aarch64 static game compiled against the headers of the C library linked in"
# Debian's libc6-dev:arm64, whose source the release carries, not the cross toolchain's copy.
cross_headers=$(ninja -C build/portable-arm64 -t deps | grep -F /usr/aarch64-linux-gnu/include/ |
  grep -v -F /include/c++/ || true)
[ -z "$cross_headers" ] || fail "the aarch64 game saw the cross C library's headers: $cross_headers"

for package in "$deb" "$deb_arm64"; do
  echo "== lintian -I --pedantic $package"
  report=$(lintian -I --pedantic "$package" 2>&1 | grep -v "running with root privileges" || true)
  [ -z "$report" ] && echo "(no tags)" || echo "$report"
  if grep -E '^[EW]: |hardening-' <<<"$report" >/dev/null; then
    fail "lintian found an error, a warning or a hardening tag"
  fi
done

for rpm in "${rpms[@]}"; do
  echo "== rpmlint $rpm"
  report=$(rpmlint -r doc/rpmlintrc "$rpm" 2>&1)
  echo "$report" | grep -E ': [EW]: ' || true
  ! grep -q ': E: ' <<<"$report" || fail "rpmlint found an error"
  [ "$(rpm -qp --qf '%{LICENSE}' "$rpm")" = MIT ] || fail "$rpm is not tagged MIT"
  [ "$(rpm -qp --qf '%{PREFIXES}' "$rpm")" = "(none)" ] || fail "$rpm is relocatable"
  ! rpm -qp --requires "$rpm" | grep -v '^rpmlib(' || fail "$rpm has dependencies"
  for file in /usr/bin/quorvale /usr/share/man/man6/quorvale.6.gz \
    /usr/share/applications/invalid.quorvale.Quorvale.desktop \
    /usr/share/icons/hicolor/48x48/apps/quorvale.png /usr/share/doc/quorvale/THIRD-PARTY-LICENSES; do
    grep -qx "$file" <<<"$(rpm -qpl "$rpm")" || fail "$rpm lacks $file"
  done
done

echo "== every transcript case, with each Linux package's game"
dpkg-deb -x "$deb_arm64" "$scratch/arm64"
play_transcripts qemu-aarch64-static "$scratch/arm64/usr/games/quorvale"
for archive in "$tarball" "$tarball_aarch64"; do
  mkdir -p "$scratch/unpacked"
  tar -xzf "$archive" --strip-components=1 -C "$scratch/unpacked"
  game=$scratch/unpacked/bin/quorvale
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

echo "== each .rpm installed into an empty root, played there, and removed"
for rpm in "${rpms[@]}"; do
  root=$scratch/rpm-root
  in_root=(--root "$root" --dbpath /var/lib/rpm)  # Debian's rpm keeps its own in ~/.rpmdb
  rpm "${in_root[@]}" --initdb
  rpm "${in_root[@]}" --ignorearch -i "$rpm" 2>/dev/null  # Debian's rpm says to use alien
  case $rpm in
    *.x86_64.rpm) play_transcripts chroot "$root" /usr/bin/quorvale ;;
    *) play_transcripts qemu-aarch64-static "$root/usr/bin/quorvale" ;;
  esac
  rpm "${in_root[@]}" -e quorvale 2>/dev/null
  left=$(find "$root" -type f ! -path "$root/var/lib/rpm/*")
  [ -z "$left" ] || fail "rpm -e left: $left"
  rm -rf "$root"
done

echo "== the source: the commit's files, named by the notices with the C library's, built offline"
diff <(tar -tzf "$source_archive" | grep -v '/$' | sort) \
  <({ git ls-tree -r --name-only HEAD; echo SOURCE_DATE_EPOCH; } | sed "s|^|quorvale-$version/|" | sort) ||
  fail "$source_archive does not hold the commit's files, and the date its packages carry"
[ "$(tar -xzOf "$source_archive" "quorvale-$version/SOURCE_DATE_EPOCH")" = "$(git log -1 --format=%ct)" ] ||
  fail "$source_archive does not carry the commit's date"
for archive in "$tarball" "$tarball_aarch64"; do
  notices=$(tar -xzOf "$archive" --wildcards '*/share/doc/quorvale/THIRD-PARTY-LICENSES' | tr -s ' \n' ' ')
  grep -q " $(basename "$source_archive")," <<<"$notices" || fail "$archive does not name the source"
  dsc=$(grep -o 'glibc_[^ ]*\.dsc' <<<"$notices" | head -n 1)
  [ -n "$dsc" ] || fail "$archive names no source package of its C library"
  for arch in amd64 arm64; do  # both link Debian's libc6-dev of that one version
    [ "$dsc" = "glibc_$(dpkg-query -W -f='${source:Version}' libc6-dev:$arch).dsc" ] ||
      fail "$dsc is not the glibc linked in for $arch"
  done
  # Every file the source package lists is there, with its hash, and listed in SHA256SUMS.
  (cd $packages && sed -n '/^Checksums-Sha256:/,/^[^ ]/s/^ \([0-9a-f]\{64\}\) [0-9]* /\1  /p' "$dsc" |
    sha256sum --check --strict --quiet) || fail "the files $dsc lists are not all there"
  for file in "$dsc" $(sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]* [0-9]* //p' "$packages/$dsc"); do
    grep -q " $file\$" $packages/SHA256SUMS || fail "SHA256SUMS does not list $file"
  done
done
tar -xzf "$source_archive" -C "$scratch"
(cd "$scratch/quorvale-$version" && unshare --net sh -c "$(sed -n '/^```sh$/{n;s/ &&.*//p;q}' README.md)") \
  >"$scratch/source-build.log" 2>&1 || { tail -20 "$scratch/source-build.log"; fail "the source did not build offline"; }
play_transcripts "$scratch/quorvale-$version/build/release/quorvale" >/dev/null
echo "== the .deb, the .tar.gz and the .rpm again, from the unpacked source, with no git"
unpacked=$scratch/quorvale-$version
(cd "$unpacked" && ! scripts/build-packages.sh) >"$scratch/rebuild.log" 2>&1 &&
  grep -q "cmake --workflow --preset package" "$scratch/rebuild.log" ||
  fail "outside git, build-packages.sh does not say how to rebuild a package"
(cd "$unpacked" && cpack --preset package && cmake --workflow --preset portable) >"$scratch/rebuild.log" 2>&1 ||
  { tail -20 "$scratch/rebuild.log"; fail "the source did not rebuild its packages"; }
for package in "$deb" "$tarball" "${rpms[0]}"; do
  cmp "$package" "$unpacked/build/packages/$(basename "$package")" ||
    fail "$(basename "$package"), rebuilt from the source archive, is not the release's"
done

echo "== the unpacked source built as Debian builds it: debhelper's CMake build system"
# A minimal debian/ of its own, made here: the project keeps none.
debian=$unpacked/debian
mkdir "$debian"
cat >"$debian/control" <<EOF
Source: quorvale
Section: games
Priority: optional
Maintainer: Quorvale maintainers <maintainers@quorvale.invalid>
Build-Depends: debhelper-compat (= 13), cmake, libgtest-dev
Standards-Version: 4.6.2
Rules-Requires-Root: no

Package: quorvale
Architecture: any
Depends: \${shlibs:Depends}, \${misc:Depends}
Description: one-shot text game
 The project's check of a build by debhelper.
EOF
printf '#!/usr/bin/make -f\n%%:\n\tdh $@ --buildsystem=cmake\n' >"$debian/rules"
chmod +x "$debian/rules"
printf 'quorvale (%s-1) unstable; urgency=medium\n\n  * A check.\n\n -- %s  %s\n' "$version" \
  "Quorvale maintainers <maintainers@quorvale.invalid>" "$(date -R -d @"$(git log -1 --format=%ct)")" \
  >"$debian/changelog"
# dh_auto_test runs the project's tests; the build fails if one does.
(cd "$unpacked" && rm -rf build && dpkg-buildpackage -b -us -uc) >"$scratch/debhelper.log" 2>&1 ||
  { tail -30 "$scratch/debhelper.log"; fail "dpkg-buildpackage with debhelper failed"; }
grep -q "tests passed, 0 tests failed" "$scratch/debhelper.log" || fail "dh_auto_test ran no tests"
dpkg-deb -x "$scratch/quorvale_${version}-1_amd64.deb" "$scratch/debhelper"
play_transcripts "$scratch/debhelper/usr/games/quorvale" >/dev/null
command=$(sed -n 's/^Exec=//p' "$scratch/debhelper/usr/share/applications/invalid.quorvale.Quorvale.desktop")
[ -x "$scratch/debhelper$command" ] || fail "the debhelper build's menu entry runs $command, not installed"

echo "== the .tar.gz installed over folders that exist, and removed, as the README says"
prefix=$scratch/prefix
existing=(bin share share/applications share/doc share/icons share/icons/hicolor
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
(umask 077 && bash -euo pipefail -c "$(readme_block install-tarball | readme_commands)")
[ "$(folders)" = "$before" ] || fail "installing changed folders that were there:
$(diff <(echo "$before") <(folders))"
# Under a strict umask too, what it makes is for everyone: "No manual entry" otherwise.
unreadable=$(find "$prefix" \( -type d ! -perm -0755 \) -o \( -type f ! -perm -0444 \))
[ -z "$unreadable" ] || fail "the README's install made, under umask 077: $unreadable"
play_transcripts "$prefix/bin/quorvale" >/dev/null
grep -qx 'Exec=quorvale' "$prefix/share/applications/invalid.quorvale.Quorvale.desktop" ||
  fail "the .tar.gz's desktop entry does not start quorvale from PATH"
bash -euo pipefail -c "$(readme_block remove-tarball | readme_commands)"
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
# Its menu entry starts the game with no games/ folder on PATH, as from ~/.local.
command=$(sed -n 's/^Exec=//p' "$scratch/usr/share/applications/invalid.quorvale.Quorvale.desktop")
[ "$command" = "$scratch/usr/games/quorvale" ] || fail "cmake --install's desktop entry runs $command"
PATH=/usr/bin:/bin scripts/play-in-console.sh "$command" "Press any key to continue . . ." >/dev/null

echo "== install folders given absolute, as Nix and Guix give them, and a relative --prefix"
cmake -S . -B "$scratch/absolute" -G Ninja -DQUORVALE_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/opt/q \
  -DCMAKE_INSTALL_DATADIR=/opt/q/share -DCMAKE_INSTALL_MANDIR=/opt/q/share/man \
  -DCMAKE_INSTALL_DOCDIR=/opt/q/share/doc/quorvale -DQUORVALE_INSTALL_GAMESDIR=/opt/q/games >/dev/null
cmake --build "$scratch/absolute" >/dev/null
DESTDIR=$scratch/staged cmake --install "$scratch/absolute" --strip >/dev/null
diff <(cd "$scratch/staged/opt/q" && find . -type f | sort) <(cd "$scratch/usr" && find . -type f | sort) ||
  fail "with absolute folders, the files land elsewhere than under the prefix"
entry=share/applications/invalid.quorvale.Quorvale.desktop
[ "$(sed -n 's/^Exec=//p' "$scratch/staged/opt/q/$entry")" = /opt/q/games/quorvale ] ||
  fail "with absolute folders, the menu entry runs $(grep '^Exec=' "$scratch/staged/opt/q/$entry")"
(cd "$scratch" && cmake --install "$OLDPWD/build/release" --prefix relative >/dev/null)
[ "$(sed -n 's/^Exec=//p' "$scratch/relative/$entry")" = "$scratch/relative/games/quorvale" ] ||
  fail "with a relative --prefix, the menu entry runs $(grep '^Exec=' "$scratch/relative/$entry")"

echo "== a packager's flags win over the hardening the build adds"
cmake -S . -B "$scratch/flags" -G Ninja -DQUORVALE_TESTS=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DCMAKE_CXX_FLAGS="-O2 -D_FORTIFY_SOURCE=3 -fstack-protector-all" >/dev/null
! grep -E -e '-[DU]_FORTIFY_SOURCE(=[^3]|[" ])|-fstack-protector-strong' "$scratch/flags/compile_commands.json" ||
  fail "the build overrode the packager's flags"

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
