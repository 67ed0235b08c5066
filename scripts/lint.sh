#!/usr/bin/env bash
# Static checks, all required clean: clang-format, clang-tidy (rules in .clang-tidy) and
# cppcheck over the project's own C++, and eslint (eslint.config.js) over its JavaScript.
source "$(dirname "$0")/lib.sh"
require clang-format=clang-format clang-tidy=clang-tidy cppcheck=cppcheck ninja=ninja-build \
  node=nodejs,npm

echo "== clang-format"
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

echo "== clang-tidy"
# The test preset's configure writes the compile commands clang-tidy reads; files outside
# this platform's build (the Windows pause, the fuzz target) borrow their neighbours' flags.
# Headers are checked where they are the project's own, under its src/, matched from the
# checkout's own path: a checkout under a folder named src (~/src/quorvale) lints the same.
# tidy FOLDER FILE...: clang-tidy over the files of the checkout in FOLDER.
tidy() {
  local own_headers
  own_headers="^$(sed 's/[][\.*^$+?(){}|]/\\&/g' <<<"$1")/src/"
  (cd "$1" && cmake --preset test -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null &&
    printf '%s\0' "${@:2}" |
    xargs -0 -n 4 -P "$(nproc)" clang-tidy -p build/test --quiet --header-filter="$own_headers" 2>&1) |
    { grep -v -E '^[0-9]+ warnings? generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' || true; }
}
mapfile -t sources < <(git ls-files -- '*.cpp')
mkdir -p build  # for the logs, before the configure in tidy makes it
tidy "$PWD" "${sources[@]}" | tee build/clang-tidy.log
! grep -q -E 'error:|warning:' build/clang-tidy.log || fail "clang-tidy found problems"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
git clone --quiet --no-local . "$scratch/src/quorvale"
tidy "$scratch/src/quorvale" tests/terminal_test.cpp | tee build/clang-tidy-under-src.log
! grep -q -E 'error:|warning:' build/clang-tidy-under-src.log ||
  fail "clang-tidy lints a checkout under a folder named src otherwise"

echo "== cppcheck"
cppcheck --enable=warning,style,performance,portability --std=c++17 --library=googletest \
  --library=posix --error-exitcode=1 --inline-suppr --quiet -I src src tests bench
echo "== eslint"
npm_packages >/dev/null
npx --no-install eslint --max-warnings 0 web tests/browser bench eslint.config.js

echo "lint: 4 passed, 0 failed"
