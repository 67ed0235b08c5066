#!/usr/bin/env bash
# Installs the Debian packages named (the tools a check found missing) with apt-get, as root,
# saying so first; with no names it does nothing. The checks and benchmarks call it.
#
#   scripts/install-missing.sh [PACKAGE...]
set -euo pipefail
[ $# -gt 0 ] || exit 0
echo "== installing $* (apt-get, as root)"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
