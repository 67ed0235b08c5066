#!/usr/bin/env bash
# Puts standard input into FILE as its section NAME, between the lines <!-- NAME --> and
# <!-- /NAME -->, replacing what was there, or at the end if FILE has no such section; the
# other sections stay as they are. Each benchmark keeps its own section of RESULTS.md.
#
#   bench/replace-section.sh NAME FILE < section.md
set -euo pipefail
name=$1
file=$2
section=$(mktemp)
trap 'rm -f "$section"' EXIT
{ echo "<!-- $name -->"; cat; echo "<!-- /$name -->"; } >"$section"
touch "$file"
awk -v name="$name" -v section="$section" '
  function put() { while ((getline line < section) > 0) print line; done = 1 }
  $0 == "<!-- " name " -->" { skipping = 1; put(); next }
  $0 == "<!-- /" name " -->" { skipping = 0; next }
  !skipping { print }
  END { if (!done) { if (NR > 0) print ""; put() } }
' "$file" >"$file.new"
mv "$file.new" "$file"
