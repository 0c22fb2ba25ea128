# Sourced by the shell tests that ctest runs.

# Skips the test with the reason on one line (ctest reads exit status 77 as skipped, given
# SKIP_RETURN_CODE 77); under CI=true a test that cannot run fails instead.
ctest_skip() {
  echo "SKIP: $1"
  [ "${CI:-}" = "true" ] && exit 1
  exit 77
}
