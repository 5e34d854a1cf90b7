#!/usr/bin/env bash
# Runs the tool on sample documents, the way the host starts it: hostsim seeds a
# temporary folder (an order confirmation, two partial invoices and the open invoice),
# serves it and starts the tool as its child; it stops when the tool ends.
# Options are passed on to `hostsim demo` (e.g. --positions 200 --invoices 10).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No display: the result as a table in the terminal.
  exec ./build/bin/hostsim demo "$@" -- ./build/bin/dirivararez --report --format text
fi
exec ./build/bin/hostsim demo "$@" -- ./build/bin/dirivararez
