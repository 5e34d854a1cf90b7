#!/usr/bin/env bash
# Shows the tool on its sample data on a virtual X server and saves a picture of the window:
#   tools/screenshot.sh [OUTPUT.png]      (default build/screenshot.png)
# Starts Xvfb, runs the demo (hostsim with the sample data, the window as its child, made
# tall enough for every row), waits
# until the window has shown the result of its first load, saves the window as PNG and
# stops everything it started. Installs the few X tools it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshot.png}
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
# The host stand-in's files (server list, sockets, documents) stay in this run's folder.
export TMPDIR="$work"
export QT_QPA_PLATFORM=xcb

# Its own process group, so that stopping it reaches the window as well. The window is
# made tall enough to show all four sections of the sample at once.
setsid ./build/bin/hostsim demo -- ./build/bin/dirivararez -geometry 900x1800+0+0 \
  >"$work/demo.log" 2>&1 &
demo_pid=$!

# After half a minute without a load shown, the window is taken as it is.
window=$(wait_for_loaded_window '("dirivararez" "dirivararez")' "$demo_pid" "$work/demo.log" 30) ||
  [ $? = 2 ]
# Let the grid finish painting before the picture is taken.
sleep 1
save_window_png "$window" "$out"
echo "saved $out"
