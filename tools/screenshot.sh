#!/usr/bin/env bash
# Shows the tool on its sample data on a virtual X server and saves a picture of the window:
#   tools/screenshot.sh [OUTPUT.png]      (default build/screenshot.png)
# Starts Xvfb, runs the demo (hostsim with the sample data, the window as its child, made
# tall enough for all four sections), waits until the window has shown the result of its
# first load (half a minute at most), saves the window as PNG and stops everything it
# started. Installs the few X tools it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/xwindow.sh
. tools/xwindow.sh
export QT_QPA_PLATFORM=xcb
take_screenshot "${1:-build/screenshot.png}" '("dirivararez" "dirivararez")' 30 \
  ./build/bin/hostsim demo -- ./build/bin/dirivararez -geometry 900x1800+0+0
