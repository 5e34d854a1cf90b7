#!/usr/bin/env bash
# The Windows window under Wine on a virtual X server, loaded from `hostsim.exe demo` over
# named pipes, saved as a picture:
#   tools/windows/screenshot.sh [OUTPUT.png]     (make screenshot-windows; default
#                                                 build-win/screenshot.png)
# The window is made tall enough for all four sections (Wine draws taller rows than Linux,
# for want of the fonts); Wine's first start on a new display
# takes a while, so it gets two minutes to show its first load.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tools/windows/env.sh
. tools/windows/env.sh
build_windows --target dirivararez hostsim
# shellcheck source=tools/xwindow.sh
. tools/xwindow.sh
SHOT_SCREEN=1280x2600x24 take_screenshot "${1:-$build/screenshot.png}" '"dirivararez.exe"' 120 \
  wine "$build/bin/hostsim.exe" demo -- "$(winepath -w "$PWD/$build/bin/dirivararez.exe")" \
  -qwindowgeometry 960x2400+0+0
