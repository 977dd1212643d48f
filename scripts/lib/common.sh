# Shared by the scripts in scripts/: installs what is missing and builds.
# Source it; it defines KELVARO_ROOT and the functions below.
set -euo pipefail
KELVARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Debian packages that building and running the program need (scripts/run).
KELVARO_RUN_PACKAGES=(
  g++ cmake ninja-build pkg-config ca-certificates
  qt6-base-dev qt6-multimedia-dev libcurl4-openssl-dev libcpp-httplib-dev nlohmann-json3-dev
  libsqlite3-dev libxlsxwriter-dev
)
# What the tests, benchmarks and their stages need on top (scripts/test, scripts/bench):
# GoogleTest, Google Benchmark, OpenSSL for the TLS benchmark, Python for the layering check and
# a benchmark's peer, openpyxl to read the Excel export back, a virtual X server, clang for
# the fuzzers, clang-tidy, the packaging tools.
KELVARO_TEST_PACKAGES=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev libssl-dev python3 python3-openpyxl
  xvfb xauth clang libclang-rt-14-dev clang-tidy dpkg-dev file
)
KELVARO_PACKAGES=("${KELVARO_RUN_PACKAGES[@]}" "${KELVARO_TEST_PACKAGES[@]}")

kelvaro_log() { printf '[kelvaro] %s\n' "$*" >&2; }

# Installs the given Debian packages that are not installed yet.
kelvaro_install() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then return 0; fi
  kelvaro_log "installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# Configures and builds one preset (debug, release, sanitize) with its tests and benchmarks;
# further arguments go to the configure step.
kelvaro_build() {
  local preset="$1"
  shift
  cmake --preset "$preset" -S "$KELVARO_ROOT" -DKELVARO_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
}
