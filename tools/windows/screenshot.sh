#!/usr/bin/env bash
# The Windows window under Wine on a virtual X server, loaded from `hostsim.exe demo` over
# named pipes, saved as a picture:
#   tools/windows/screenshot.sh [OUTPUT.png]     (make screenshot-windows; default
#                                                 build-win/screenshot.png)
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tools/windows/env.sh
. tools/windows/env.sh
build_windows --target dirivararez hostsim
out=${1:-$build/screenshot.png}
mkdir -p "$(dirname "$out")"
# shellcheck source=tools/xwindow.sh
. tools/xwindow.sh
install_x_tools

work=$(mktemp -d)
demo_pid=""
cleanup() {
  # Only what this script started: the demo's process group, then the X server.
  if [ -n "$demo_pid" ]; then
    kill -TERM -- "-$demo_pid" 2>/dev/null || true
    wait "$demo_pid" 2>/dev/null || true
  fi
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "$work"
# Its own process group, so that stopping it reaches the window as well. The window is made
# tall enough to show all four sections of the sample at once.
program="$(winepath -w "$PWD/$build/bin/dirivararez.exe")"
setsid wine "$build/bin/hostsim.exe" demo -- "$program" -qwindowgeometry 900x1800+0+0 \
  >"$work/demo.log" 2>&1 &
demo_pid=$!

# Wine's first start of a prefix on a new display takes a while. After two minutes without a
# load shown, the window is taken as it is.
window=$(wait_for_loaded_window '"dirivararez.exe"' "$demo_pid" "$work/demo.log" 120) ||
  [ $? = 2 ]
# Let the grid finish painting before the picture is taken.
sleep 2
save_window_png "$window" "$out"
echo "saved $out"
