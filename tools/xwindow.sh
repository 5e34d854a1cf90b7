# shellcheck shell=bash
# A virtual X server and the tool's window on it, for the screenshots and the package check;
# sourced, not run. The caller's EXIT trap calls stop_demo and stop_xvfb.
#   install_x_tools               installs Xvfb and the X tools below when missing
#   start_xvfb WORKDIR [WxHxD]    starts Xvfb on a free display and exports DISPLAY
#   stop_xvfb                     stops it again
#   wait_for_loaded_window PATTERN PID LOG SECONDS
#                                 prints the id of the top-level window whose xwininfo line
#                                 holds PATTERN (its class) once its caption is no longer the
#                                 program title, i.e. the first load has been shown. A caption
#                                 unchanged after SECONDS (a failed load: the red panel says
#                                 why) prints the id and returns 2. Returns 1 when PID ends
#                                 first or no window came (LOG shown).
#   save_window_png WINDOW FILE   saves the window as a PNG picture
#   start_demo LOG COMMAND...     runs COMMAND in a process group of its own (stopping it
#                                 reaches the window it starts too), output into LOG;
#                                 its id in $demo_pid
#   stop_demo                     stops that process group
#   take_screenshot OUT PATTERN SECONDS COMMAND...
#                                 all of it: Xvfb, COMMAND (with TMPDIR a folder of its own)
#                                 until its window has loaded (after SECONDS it is taken as
#                                 it is), the window saved as OUT, everything stopped again;
#                                 the screen is SHOT_SCREEN (default 1280x2000x24)

# shellcheck source=tools/windows/apt.sh
. "$(dirname "${BASH_SOURCE[0]}")/windows/apt.sh"

install_x_tools() {
  apt_install_missing xvfb x11-apps x11-utils netpbm
}

xvfb_pid=""
start_xvfb() {
  local work="$1" screen="${2:-1280x2000x24}"
  # Xvfb picks a free display itself and reports its number.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || {
    echo "Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    return 1
  }
  export DISPLAY=":$(head -n1 "$work/display")"
}

stop_xvfb() {
  [ -n "$xvfb_pid" ] || return 0
  kill -TERM "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

wait_for_loaded_window() {
  local pattern="$1" pid="$2" log="$3" seconds="$4" ours loaded i
  local tries=$((seconds * 10))
  for i in $(seq "$tries"); do
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "the program ended early:" >&2
      cat "$log" >&2
      return 1
    fi
    # Wine gives every program an invisible "Default IME" window as well.
    ours=$(xwininfo -root -children 2>/dev/null | grep -i -F "$pattern" |
      grep -v -F '"Default IME"' || true)
    loaded=$(echo "$ours" | grep -v -F '"Dirivararez":' | head -n1 || true)
    if [ -n "$loaded" ]; then
      echo "window:$loaded" >&2
      echo "$loaded" | awk '{print $1}'
      return 0
    fi
    if [ "$i" = "$tries" ] && [ -n "$ours" ]; then
      echo "the caption did not change" >&2
      echo "$ours" | head -n1 | awk '{print $1}'
      return 2
    fi
    sleep 0.1
  done
  echo "the window did not appear" >&2
  cat "$log" >&2
  return 1
}

save_window_png() {
  xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pnmtopng >"$2"
}

demo_pid=""
start_demo() {
  local log="$1"
  shift
  setsid "$@" >"$log" 2>&1 &
  demo_pid=$!
}

stop_demo() {
  [ -n "$demo_pid" ] || return 0
  kill -TERM -- "-$demo_pid" 2>/dev/null || true
  wait "$demo_pid" 2>/dev/null || true
  demo_pid=""
}

take_screenshot() {
  local out="$1" pattern="$2" seconds="$3" window
  shift 3
  mkdir -p "$(dirname "$out")"
  install_x_tools
  shot_work=$(mktemp -d)
  trap 'stop_demo; stop_xvfb; rm -rf "$shot_work"' EXIT
  start_xvfb "$shot_work" "${SHOT_SCREEN:-1280x2000x24}"
  TMPDIR="$shot_work" start_demo "$shot_work/demo.log" "$@"
  window=$(wait_for_loaded_window "$pattern" "$demo_pid" "$shot_work/demo.log" "$seconds") ||
    [ $? = 2 ]
  # Let the grid finish painting before the picture is taken.
  sleep 2
  save_window_png "$window" "$out"
  echo "saved $out"
}
