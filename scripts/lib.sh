# What the checks and benchmarks share; each sources it first, and runs from the repository's
# top folder. Debian, as root: missing tools are installed with apt-get.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

fail() {
  echo "$*" >&2
  exit 1
}

# require NEED=PACKAGE[,PACKAGE...]...: installs the Debian packages of every NEED that is
# missing: a command, or a path (a glob) where it starts with "/". Says so first.
require() {
  local missing=() pair need packages
  for pair in "$@"; do
    need=${pair%%=*}
    case $need in
      /*) compgen -G "$need" >/dev/null && continue ;;
      *) command -v "$need" >/dev/null && continue ;;
    esac
    IFS=, read -r -a packages <<<"${pair#*=}"
    missing+=("${packages[@]}")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "== installing ${missing[*]} (apt-get, as root)"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The project's version, from project() in CMakeLists.txt.
project_version() {
  sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt
}

# npm_packages: the npm packages as package-lock.json pins them (npm ci), unless
# node_modules already holds just that install.
npm_packages() {
  if ! cmp -s package-lock.json node_modules/.installed-from-package-lock.json; then
    npm ci --no-audit --no-fund
    cp package-lock.json node_modules/.installed-from-package-lock.json
  fi
}

# release_folder_untouched: fails unless build/packages, where there is one, still holds just
# what its SHA256SUMS lists: checks build what they check elsewhere.
release_folder_untouched() {
  [ -e build/packages/SHA256SUMS ] || return 0
  (cd build/packages && sha256sum --check --strict --quiet SHA256SUMS) &&
    diff <(cd build/packages && find . -mindepth 1 ! -name SHA256SUMS -printf '%P\n' | sort) \
      <(awk '{ print $2 }' build/packages/SHA256SUMS | sort) ||
    fail "build/packages no longer matches its SHA256SUMS"
}
