#!/usr/bin/env bash
# The Windows leg: builds everything without the toolkit for 64-bit Windows into build-win/
# (cross compiled on Linux), runs the test suite under Wine, and checks that the report of
# the Windows program equals the Linux program's on the demo sample.
#
#   tools/windows/test.sh     (make test-windows)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
jobs="${JOBS:-$(nproc)}"
build=build-win

deps="$(tools/windows/deps.sh | tail -n 1)"

# A Wine prefix of our own inside the build folder; test discovery and ctest both run the
# programs through Wine. Mono and Gecko are not needed and would only slow the first start.
export WINEPREFIX="$root/$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$build"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX" >&2
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DDIRI_WIN_DEPS="$deps" -DDIRI_GUI=OFF \
    "${launcher[@]}"
fi
cmake --build "$build" -j "$jobs"

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
if ! (cd "$build" && ctest --output-on-failure -j "$jobs"); then
  echo "test-windows: running the failed tests once more, one at a time" >&2
  (cd "$build" && ctest --output-on-failure --rerun-failed)
fi

# Against the Linux programs of `make build` (or those in DIRI_LINUX_BIN).
"$root/tools/windows/compare-report.sh" "${DIRI_LINUX_BIN:-$root/build/bin}" "$root/$build/bin"
