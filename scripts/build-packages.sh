#!/usr/bin/env bash
# Builds every download into build/packages, with their SHA256SUMS: the Debian packages for
# amd64 and arm64, the portable .tar.gz and .rpm for x86-64 and aarch64 Linux, the Windows
# .zip and the web site's .zip; and beside them the source the portable builds' notices
# promise: the game's (quorvale-VERSION.tar.gz, the last commit's files) and the C library's
# linked into them (Debian's glibc source package at that version). Installs what a fresh
# machine lacks (Debian, as root, apt-get, with deb-src entries matching its deb ones; the
# pinned npm packages, npm ci). Run again from the same commit, anywhere, with Debian 12's
# toolchain, it gives the same bytes.
#
#   scripts/build-packages.sh
source "$(dirname "$0")/lib.sh"
export LC_ALL=C  # one order for the packages' names, wherever it runs

# Every download, the source archive too, is built from one commit: a binary built from
# changes that no archive holds would name, as its complete source, one that is not.
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  fail "build-packages: this is not a git checkout, and the source archive is made from one.
From an unpacked source archive, rebuild a package with its preset, as the README says:
cmake --workflow --preset package (the .deb), or --preset portable (the .tar.gz and .rpm)."
fi
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  git status --short --untracked-files=no >&2
  fail "build-packages: the tree has uncommitted changes (above); a release is built from one \
commit. Commit them, or set them aside with git stash, and run this again."
fi

# dpkg-shlibdeps reads the arm64 package's dependencies from Debian's own arm64 C library,
# which the aarch64 portable build links in.
arm64_libc=/usr/lib/aarch64-linux-gnu/libc.a
[ -e $arm64_libc ] || dpkg --add-architecture arm64
require ninja=ninja-build dpkg-shlibdeps=dpkg-dev aarch64-linux-gnu-g++=g++-aarch64-linux-gnu \
  x86_64-w64-mingw32-g++-posix=g++-mingw-w64-x86-64-posix em++=emscripten \
  /usr/share/nodejs/acorn=node-acorn npm=nodejs,npm zip=zip $arm64_libc=libc6-dev:arm64 \
  rpmbuild=rpm
npm ci --prefer-offline --no-audit --no-fund >/dev/null

packages=build/packages
mkdir -p $packages
rm -f $packages/quorvale[-_]* $packages/glibc_* $packages/SHA256SUMS
version=$(project_version)
# The archive carries the one date every package's time stamps come from, the commit's, for
# builds from it without git (cmake/cpack-project-config.cmake reads it).
mkdir -p build/source-date
git log -1 --format=%ct >build/source-date/SOURCE_DATE_EPOCH
git archive --format=tar --prefix="quorvale-$version/" --add-file=build/source-date/SOURCE_DATE_EPOCH \
  HEAD | gzip -9 -n >"$packages/quorvale-$version.tar.gz"

# apt-get source needs deb-src entries; these match the deb ones, in a file of their own.
enable_deb_src() {
  local list=/etc/apt/sources.list.d/quorvale-deb-src
  awk -v RS= -v ORS='\n\n' '/(^|\n)Types: deb(\n|$)/ { sub(/Types: deb/, "Types: deb-src"); print }' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null >$list.sources || true
  sed -n 's/^deb /deb-src /p' /etc/apt/sources.list 2>/dev/null >$list.list || true
  apt-get update -qq
}
libc_version=$(dpkg-query -W -f='${source:Version}\n' libc6-dev | head -n 1)
apt-get source --download-only --print-uris "glibc=$libc_version" >/dev/null 2>&1 || enable_deb_src
(cd $packages && apt-get source --download-only -qq -o APT::Sandbox::User=root "glibc=$libc_version") ||
  fail "the source of glibc $libc_version could not be fetched"

log=build/packages.log
: >"$log"
# The package preset and the configure preset it packs.
for presets in package:release portable:portable arm64:arm64 portable-arm64:portable-arm64 \
  windows:windows web:web; do
  package=${presets%%:*}
  configure=${presets#*:}
  echo "== $package"
  { cmake --preset "$configure" && cmake --build --preset "$configure" &&
    cpack --preset "$package"; } >>"$log" 2>&1 || { tail -30 "$log" >&2; exit 1; }
done
# The folder is the release: cpack's staging tree (its second copy of the packages, rpmbuild's
# logs naming this folder) goes.
rm -rf $packages/_CPack_Packages
(cd $packages && sha256sum quorvale[-_]* glibc_* >SHA256SUMS && cat SHA256SUMS)
