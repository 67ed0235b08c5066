#!/usr/bin/env bash
# Builds every downloadable package into build/packages, with their SHA256SUMS: the Debian
# packages for amd64 and arm64, the portable .tar.gz for x86-64 and aarch64 Linux, the
# Windows .zip and the web site's .zip. Installs what a fresh machine lacks (Debian, as root,
# apt-get; the pinned npm packages, npm ci). Run again from the same commit, anywhere, with
# Debian 12's toolchain, it gives the same bytes.
#
#   scripts/build-packages.sh
source "$(dirname "$0")/lib.sh"
export LC_ALL=C  # one order for the packages' names, wherever it runs

# dpkg-shlibdeps reads the arm64 package's dependencies from Debian's own arm64 C library.
arm64_libc=/usr/lib/aarch64-linux-gnu/libc.so.6
[ -e $arm64_libc ] || dpkg --add-architecture arm64
require ninja=ninja-build dpkg-shlibdeps=dpkg-dev aarch64-linux-gnu-g++=g++-aarch64-linux-gnu \
  x86_64-w64-mingw32-g++-posix=g++-mingw-w64-x86-64-posix em++=emscripten \
  /usr/share/nodejs/acorn=node-acorn npm=nodejs,npm zip=zip $arm64_libc=libc6:arm64
npm ci --prefer-offline --no-audit --no-fund >/dev/null

mkdir -p build/packages
rm -f build/packages/quorvale[-_]* build/packages/SHA256SUMS
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
(cd build/packages && sha256sum quorvale[-_]* >SHA256SUMS && cat SHA256SUMS)
