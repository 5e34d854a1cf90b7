#!/usr/bin/env bash
# Runs the tool on its built-in sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
exec ./build/bin/dirivararez "$@"
