#!/usr/bin/env bash
# Plays one game as a player would, in a real terminal (tmux): each answer is typed only
# once its prompt is on the screen; the screen must then hold the whole game with the
# answers echoed, and the pause's prompt; the pause must keep the game waiting, and a key
# must end it with exit status 0.
#
#   scripts/play-in-console.sh COMMAND PAUSE_PROMPT
#
# COMMAND is run by the shell in the terminal, with this script's environment (for Wine:
# `wine build/windows/quorvale.exe`, whose command interpreter's PAUSE says
# "Press any key to continue..."). PAUSE_PROMPT is the pause's line, trailing blanks left out.
source "$(dirname "$0")/lib.sh"
command=$1
pause_prompt=$2
# The prompts are the lines of the game's text before each answer.
mapfile -t prompts < <(grep -B1 -x -F '<answer>' tests/expected/game.txt | grep -v -x -F -e '<answer>' -e --)
mapfile -t answers <tests/expected/cases/three_lines.in

scratch=$(mktemp -d)
server=quorvale-console-$$
console() { tmux -L "$server" "$@"; }
cleanup() {
  console kill-server 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The screen as text: trailing blanks and the empty rows below the cursor left out.
screen() {
  console capture-pane -p -J -t game | sed 's/[[:space:]]*$//' |
    awk '{ row[NR] = $0 } NF { last = NR } END { for (i = 1; i <= last; i++) print row[i] }'
}
# Up to 30 s for a command to succeed.
within_30s() {
  for _ in $(seq 300); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
last_line_is() { [ "$(screen | tail -n 1)" = "$1" ]; }
wait_for_last_line() {
  within_30s last_line_is "$1" ||
    fail "the console never showed \"$1\" on its last line; it shows:"$'\n'"$(screen)"
}

console new-session -d -s game -x 100 -y 50 "$command; echo \$? >'$scratch/status'"
for i in "${!prompts[@]}"; do
  wait_for_last_line "${prompts[$i]}"
  console send-keys -t game -l "${answers[$i]}"
  console send-keys -t game Enter
done
wait_for_last_line "$pause_prompt"
sleep 1
[ ! -e "$scratch/status" ] || fail "the pause did not wait for a key"

# What the player saw: the transcript, each answer echoed on the line after its prompt.
screen | sed '$d' >"$scratch/screen"
cmake -DSCREEN="$scratch/screen" -P tests/transcript/compare_screen.cmake

console send-keys -t game k
within_30s test -s "$scratch/status" || true
status=$(cat "$scratch/status" 2>/dev/null || echo "none: still running")
[ "$status" = 0 ] || fail "a key at the pause should end the game with status 0; it gave $status"
echo "console: 1 passed, 0 failed"
