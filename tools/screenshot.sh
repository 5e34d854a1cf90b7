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

missing=""
command -v Xvfb >/dev/null || missing="$missing xvfb"
command -v xwd >/dev/null || missing="$missing x11-apps"
command -v xwininfo >/dev/null || missing="$missing x11-utils"
command -v xwdtopnm >/dev/null || missing="$missing netpbm"
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -q && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
fi

work=$(mktemp -d)
xvfb_pid=""
demo_pid=""
cleanup() {
  # Only what this script started: the demo's process group, then the X server.
  if [ -n "$demo_pid" ]; then
    kill -TERM -- "-$demo_pid" 2>/dev/null || true
    wait "$demo_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and reports its number.
Xvfb -displayfd 3 -screen 0 1280x2000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
# The host stand-in's files (server list, sockets, documents) stay in this run's folder.
export TMPDIR="$work"
export QT_QPA_PLATFORM=xcb

# Its own process group, so that stopping it reaches the window as well. The window is
# made tall enough to show all four sections of the sample at once.
setsid ./build/bin/hostsim demo -- ./build/bin/dirivararez -geometry 900x1800+0+0 \
  >"$work/demo.log" 2>&1 &
demo_pid=$!

# The caption changes from the program title to the document's once the first load has
# been shown. A load that failed leaves the title (the red panel then shows why); after
# half a minute the window is taken as it is.
window=""
for i in $(seq 300); do
  if ! kill -0 "$demo_pid" 2>/dev/null; then
    echo "the demo ended early:" >&2
    cat "$work/demo.log" >&2
    exit 1
  fi
  ours=$(xwininfo -root -children 2>/dev/null | grep -i -F '("dirivararez" "dirivararez")' || true)
  loaded=$(echo "$ours" | grep -v -F '"Dirivararez":' | head -n1 || true)
  if [ -n "$loaded" ]; then
    window=$(echo "$loaded" | awk '{print $1}')
    break
  fi
  if [ "$i" = 300 ] && [ -n "$ours" ]; then
    echo "the caption did not change; taking the window as it is" >&2
    window=$(echo "$ours" | head -n1 | awk '{print $1}')
  fi
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "the window did not appear" >&2
  cat "$work/demo.log" >&2
  exit 1
fi
# Let the grid finish painting before the picture is taken.
sleep 1
xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"$out"
echo "saved $out"
