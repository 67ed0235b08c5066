#!/usr/bin/env bash
# Plays every transcript case with a built game: each tests/e2e/cases/NAME.in is fed to it,
# and what it writes must be NAME.out, byte for byte, with exit status 0.
#
#   scripts/play-transcripts.sh [LAUNCHER...] GAME
#
# For a packaged game; a build's own plays them under CTest. LAUNCHER runs GAME where it
# cannot run alone: `qemu-aarch64-static`, or `chroot DIR` with GAME's path inside DIR.
source "$(dirname "$0")/lib.sh"
game=${!#}
launcher=("${@:1:$#-1}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
for input in tests/e2e/cases/*.in; do
  name=$(basename "$input" .in)
  if cmake -DGAME="$game" "-DLAUNCHER=$(IFS=';'; echo "${launcher[*]}")" -DTIMEOUT=60 \
    -DINPUT="$input" -DEXPECTED="tests/e2e/cases/$name.out" \
    -DACTUAL="$scratch/$name.actual" -P tests/e2e/check_transcript.cmake; then
    passed=$((passed + 1))
  else
    echo "FAIL $name"
    failed=$((failed + 1))
  fi
done
echo "transcripts of ${launcher[*]:+${launcher[*]} }$game: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
