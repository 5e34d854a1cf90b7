#!/usr/bin/env bash
# The Windows leg: builds everything for 64-bit Windows into build-win/ (cross compiled on
# Linux, the window against Qt built by build-qt.sh), runs the test suites under Wine, checks
# that the report of the Windows program equals the Linux program's on the demo sample, and
# that the package starts the window in a fresh Wine prefix.
#
#   tools/windows/test.sh     (make test-windows)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
# shellcheck source=tools/windows/env.sh
. tools/windows/env.sh
build_windows

# One server for the whole run, started before the tests: parallel cold starts race. It
# ends by itself a minute after its last client; one still running from a previous run
# (which refuses a second) serves as well.
wineserver -p60 2>/dev/null || true
# Wine's own background programs (services, the desktop) start with the first program and
# keep its output open; were that a test, ctest would wait for them until the run ends. An
# idle command shell started first keeps them running, writing nowhere, until we close its
# input after the tests.
fifo="$root/$build/wine-idle-input"
rm -f "$fifo"
mkfifo "$fifo"
wine cmd <"$fifo" >/dev/null 2>&1 &
idle=$!
exec 9>"$fifo"
rm -f "$fifo"
trap 'exec 9>&-; wait "$idle" 2>/dev/null || true' EXIT
# Under load Wine now and then fails to start a program at all (no output, a few
# milliseconds). Such tests get one more run, alone; a test that fails twice fails the leg.
run_ctest() {
  if ! (cd "$build" && ctest --output-on-failure -j "$jobs" "$@"); then
    echo "test-windows: running the failed tests once more, one at a time" >&2
    (cd "$build" && ctest --output-on-failure --rerun-failed)
  fi
}
run_ctest -E '^gui_'

# The window's QTest suites (offscreen platform, Qt's DLLs found through WINEPATH).
run_gui_suites() {
  run_ctest -R '^gui_'
}
run_gui_suites

# Against the Linux programs of `make build` (or those in DIRI_LINUX_BIN).
"$root/tools/windows/compare-report.sh" "${DIRI_LINUX_BIN:-$root/build/bin}" "$root/$build/bin"

# The package, tried as a user gets it.
"$root/tools/windows/dist.sh"
"$root/tools/windows/dist-test.sh" "$root/$build/dist/dirivararez-win64.zip"
