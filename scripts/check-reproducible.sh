#!/usr/bin/env bash
# Builds every download twice from the last commit with scripts/build-packages.sh, in two
# folders, at two times, with different umasks and time zones and no SOURCE_DATE_EPOCH, and
# requires the same bytes. A difference is shown by diffoscope and fails the check. First,
# the source archive must not depend on the builder's git settings.
# Installs what it needs (Debian, as root: apt-get).
source "$(dirname "$0")/lib.sh"
require diffoscope=diffoscope-minimal
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "note: uncommitted changes are not in this check; it builds HEAD"
fi
unset SOURCE_DATE_EPOCH

# The source archive holds the committed bytes whatever the builder's git settings.
for settings in "core.autocrlf=true" "core.eol=crlf"; do
  cmp -s <(git archive --format=tar HEAD) <(git -c "$settings" archive --format=tar HEAD) ||
    fail "reproducible: with $settings, git archive writes other bytes (see .gitattributes)"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# build FOLDER UMASK TZ: a fresh clone of HEAD, every package made in it.
build() {
  git clone --quiet --no-local . "$1"
  (cd "$1" && umask "$2" && TZ=$3 scripts/build-packages.sh >build.log 2>&1) ||
    { tail -30 "$1/build.log" >&2; return 1; }
}

echo "== first build"
build "$scratch/one" 0022 UTC
sleep 2  # a second later, at least: any time stamp from the clock would now differ
echo "== second build, elsewhere"
build "$scratch/somewhere/else/two" 0002 Pacific/Kiritimati

first=$scratch/one/build/packages
second=$scratch/somewhere/else/two/build/packages
# SHA256SUMS names every package and its bytes: the same file means the same packages.
# Twelve: two .debs, two .tar.gz, two .rpms, two .zips, the source and the C library's three.
[ "$(wc -l <"$first/SHA256SUMS")" -ge 12 ] || fail "SHA256SUMS lists fewer than twelve files"
if ! diff "$first/SHA256SUMS" "$second/SHA256SUMS"; then
  for package in $(diff "$first/SHA256SUMS" "$second/SHA256SUMS" | sed -n 's/^< [0-9a-f]* *//p'); do
    diffoscope --text - "$first/$package" "$second/$package" | head -200 || true
  done
  fail "reproducible: the packages above differ"
fi
cat "$first/SHA256SUMS"
echo "reproducible: 1 passed, 0 failed"
