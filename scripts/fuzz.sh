#!/usr/bin/env bash
# Builds quorvale_fuzz (libFuzzer, ASan, UBSan) and runs it for a bounded time from the
# checked-in seed corpus. Any finding (a crash, a sanitizer report, a transcript that breaks
# the game's rules) fails the run and leaves the input that caused it in build/fuzz/findings.
#
#   scripts/fuzz.sh [SECONDS]    default 60
source "$(dirname "$0")/lib.sh"
seconds=${1:-60}
require clang++=clang ninja=ninja-build \
  "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a=libclang-rt-dev"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# New inputs go to a scratch corpus; the checked-in seeds stay as they are.
corpus=build/fuzz/corpus
findings=build/fuzz/findings
mkdir -p "$corpus" "$findings"
rm -f "$findings"/*
if ! build/fuzz/tests/fuzz/quorvale_fuzz -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" \
  tests/fuzz/corpus >build/fuzz/log 2>&1; then
  tail -40 build/fuzz/log
  fail "fuzz: 0 passed, 1 failed (finding in $findings)"
fi
grep -E "^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb" build/fuzz/log || true
echo "fuzz: 1 passed, 0 failed ($seconds s)"
