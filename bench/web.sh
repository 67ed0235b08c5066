#!/usr/bin/env bash
# Web page benchmark: builds the site (web preset) and measures its gzipped weight, the time
# from navigation to the first prompt in headless Chromium against a bare terminal page's,
# and Lighthouse's scores (bench/web.mjs). Needs what scripts/check-web.sh installs.
#
#   bench/web.sh          60 loads of each page and 5 Lighthouse runs on each device; the
#                         section goes to standard output and bench/RESULTS.md
#   bench/web.sh --quick  5 loads and one run, only to show it works; into
#                         build/bench/results.md
source "$(dirname "$0")/../scripts/lib.sh"

loads=60
lighthouse_runs=5
report=bench/RESULTS.md
if [ "${1:-}" = "--quick" ]; then
  loads=5
  lighthouse_runs=1
  report=build/bench/results.md
fi
mkdir -p build/bench "$(dirname "$report")"
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
node bench/web.mjs build/web "$loads" "$lighthouse_runs" >build/bench/web.md
cat build/bench/web.md
bench/replace-section.sh web "$report" <build/bench/web.md
