#!/usr/bin/env bash
# Checks the package as a user gets it: unzipped into an empty folder of a fresh Wine prefix
# (no DLL search path, nothing of the build around), `hostsim.exe demo -- dirivararez.exe`
# must bring up the window on a virtual X server and show its first load. A DLL or plugin
# missing from the zip stops the window before that. Everything started is stopped again.
#
#   tools/windows/dist-test.sh ZIP
set -euo pipefail
zip="$(realpath "$1")"
cd "$(dirname "$0")/../.."
# shellcheck source=tools/xwindow.sh
. tools/xwindow.sh
install_x_tools

work="$(mktemp -d)"
cleanup() {
  # Only what this script started: the demo's process group, what is left in the throwaway
  # prefix (Wine's own programs for it), the X server.
  stop_demo
  if [ -d "$work/wine" ]; then
    WINEPREFIX="$work/wine" timeout 30 wineserver -k 2>/dev/null || true
    WINEPREFIX="$work/wine" timeout 30 wineserver -w 2>/dev/null || true
  fi
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "$work" 1280x1024x24
unset WINEPATH
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "dist-test: a fresh Wine prefix" >&2
timeout 300 wineboot -i >/dev/null 2>&1
timeout 120 wineserver -w
folder="$WINEPREFIX/drive_c/Dirivararez"
mkdir "$folder"
unzip -q "$zip" -d "$folder"

# As README.txt says, in the package's folder.
cd "$folder"
start_demo "$work/demo.log" wine hostsim.exe demo -- dirivararez.exe
rc=0
window=$(wait_for_loaded_window '"dirivararez.exe"' "$demo_pid" "$work/demo.log" 120) || rc=$?
if [ "$rc" != 0 ]; then
  echo "dist-test: the window from the package did not show its first load" >&2
  cat "$work/demo.log" >&2
  exit 1
fi
echo "dist-test: the window from the package came up and loaded ($window)" >&2
