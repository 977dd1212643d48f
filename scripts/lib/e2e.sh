# Shared by scripts/screenshots and scripts/browser-check: builds the end-to-end test
# program and runs it on a virtual X server. Source it after common.sh.

# The build folder: KELVARO_BUILD_DIR, else the release preset's.
KELVARO_E2E_BUILD="${KELVARO_BUILD_DIR:-$KELVARO_ROOT/build/release}"
KELVARO_E2E_PROGRAM="$KELVARO_E2E_BUILD/tests/e2e/e2e_tests"

# Configures the build folder (with the tests), then builds e2e_tests only.
kelvaro_e2e_build() {
  if [ ! -f "$KELVARO_E2E_BUILD/CMakeCache.txt" ]; then
    if [ -z "${KELVARO_BUILD_DIR:-}" ]; then
      cmake --preset release -S "$KELVARO_ROOT" >/dev/null
    else
      cmake -S "$KELVARO_ROOT" -B "$KELVARO_E2E_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
  fi
  # scripts/run configures the release tree without the tests; bring them back.
  cmake -S "$KELVARO_ROOT" -B "$KELVARO_E2E_BUILD" -DKELVARO_BUILD_TESTS=ON >/dev/null
  cmake --build "$KELVARO_E2E_BUILD" --target e2e_tests -j "$(nproc)"
}

# Runs e2e_tests with the given arguments on a fresh virtual X server large enough for
# both windows.
kelvaro_e2e_run() {
  timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" "$KELVARO_E2E_PROGRAM" "$@"
}
