#!/usr/bin/env bash
# Start-up benchmark: the release game (as the Debian package has it) and the portable,
# fully static one against the floor, the least any program can do for the same game (read
# all input, one write of the transcript).
#
#   bench/run.sh          full run; the tables go to standard output and bench/RESULTS.md
#   bench/run.sh --quick  a short run that only shows the benchmark still works; its tables
#                         go to standard output and build/bench/results.md
source "$(dirname "$0")/../scripts/lib.sh"

pairs=1000
name_sizes=(4 16 64)  # MiB
report=bench/RESULTS.md
if [ "${1:-}" = "--quick" ]; then
  pairs=200
  name_sizes=(1 2 4)
  report=build/bench/results.md
fi

require valgrind=valgrind /usr/bin/time=time cc=gcc

cmake --workflow --preset release >/dev/null
cmake --preset portable >/dev/null && cmake --build --preset portable >/dev/null
out=build/bench
mkdir -p "$out" "$(dirname "$report")"
# The floor writes the three-line case's transcript, with fate 4, as the tests expect it.
cmake -DCASE=three_lines -DFATE=4 -DOUTPUT="$out/transcript.inc" -P bench/write_floor_transcript.cmake
cc -O2 -Wall -Wextra -Werror -I"$out" bench/floor.c -o "$out/floor"
cc -O2 -Wall -Wextra -Werror bench/timer.c -o "$out/timer"
game=build/release/quorvale
floor=$out/floor
cp tests/expected/cases/three_lines.in "$out/answers"

# Both must write that case's transcript, bar the fate, or the comparison means nothing.
for program in "$game" "$floor"; do
  cmake -DGAME="$program" -DCASE=three_lines -DACTUAL="$out/transcript" \
    -P tests/transcript/play_case.cmake >/dev/null
done

instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" <"$out/answers" 2>&1 >/dev/null |
    sed -n 's/.*refs: *//p' | tr -d ,
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v max="$2" 'BEGIN { print (v <= max ? "met" : "MISSED") }'; }

game_ir=$(instructions "$game")
floor_ir=$(instructions "$floor")
ir_ratio=$(ratio "$game_ir" "$floor_ir")
portable_ir=$(instructions build/portable/quorvale)
portable_ratio=$(ratio "$portable_ir" "$floor_ir")
read -r game_us floor_us < <("$out/timer" "$pairs" "$out/answers" "$game" "$floor" | paste -sd' ')
wall_ratio=$(ratio "$game_us" "$floor_us")

{
  echo "## Start-up"
  echo
  echo "$(date -u +%Y-%m-%d), $(uname -sm), $(nproc) cores," \
    "$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(cc --version | head -1)."
  echo "A whole game with the answers \"Ann Lee 2\"; the floor reads all input and writes"
  echo "the same transcript with one write."
  echo
  echo "| measure | quorvale | floor | ratio | goal |"
  echo "|---|---:|---:|---:|---|"
  echo "| instructions (callgrind) | $game_ir | $floor_ir | $ir_ratio |" \
    "at most 2.0: $(verdict "$ir_ratio" 2.0) |"
  echo "| instructions, portable build (static-pie) | $portable_ir | $floor_ir |" \
    "$portable_ratio | at most 2.0: $(verdict "$portable_ratio" 2.0) |"
  echo "| median wall time of $pairs paired runs | $game_us µs | $floor_us µs | $wall_ratio |" \
    "at most 1.2: $(verdict "$wall_ratio" 1.2) |"
  echo
  echo "| first name | wall time (median of 3) | MiB/s | peak memory | memory / name | cost per byte vs ${name_sizes[0]} MiB |"
  echo "|---:|---:|---:|---:|---:|---|"
  base_cost=""
  for mib in "${name_sizes[@]}"; do
    input=$out/name-$mib.in
    { head -c $((mib << 20)) /dev/zero | tr '\0' q; printf ' Lee 2\n'; } >"$input"
    us=$("$out/timer" 3 "$input" "$game")
    peak_kib=$(/usr/bin/time -f %M "$game" <"$input" 2>&1 >/dev/null | tail -1)
    cost=$(awk -v us="$us" -v mib="$mib" 'BEGIN { printf "%.6f", us / mib }')
    base_cost=${base_cost:-$cost}
    cost_ratio=$(ratio "$cost" "$base_cost")
    memory_ratio=$(awk -v kib="$peak_kib" -v mib="$mib" 'BEGIN { printf "%.2f", kib / 1024 / mib }')
    goal=""
    if [ "$mib" = "${name_sizes[-1]}" ]; then
      goal=" (goals: memory under 2.5 times the name: $(verdict "$memory_ratio" 2.49);"
      goal+=" cost per byte at most 1.3: $(verdict "$cost_ratio" 1.3))"
    fi
    echo "| $mib MiB | $(awk -v us="$us" 'BEGIN { printf "%.3f s", us / 1e6 }') |" \
      "$(awk -v us="$us" -v mib="$mib" 'BEGIN { printf "%.1f", mib / (us / 1e6) }') |" \
      "$((peak_kib / 1024)) MiB | $memory_ratio | $cost_ratio$goal |"
    rm -f "$input"
  done
} >"$out/start-up.md"
cat "$out/start-up.md"
bench/replace-section.sh start-up "$report" <"$out/start-up.md"
