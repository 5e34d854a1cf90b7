#!/usr/bin/env bash
# The JSON report of the Windows program (under Wine) against the Linux program's, both run
# by their own hostsim's demo on the same sample. They must be the same bytes apart from the
# demo's folder, which names a different temp folder on each system.
#
#   tools/windows/compare-report.sh LINUX_BIN_DIR WINDOWS_BIN_DIR
set -euo pipefail
linux="$1"
windows="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

TMPDIR="$work" "$linux/hostsim" demo -- "$linux/dirivararez" --report --format json \
  >"$work/linux.json" 2>"$work/linux.err" || { cat "$work/linux.err" >&2; exit 1; }
program="$(winepath -w "$windows/dirivararez.exe")"
wine "$windows/hostsim.exe" demo -- "$program" --report --format json \
  >"$work/windows.json" 2>"$work/windows.err" || { cat "$work/windows.err" >&2; exit 1; }

# The caption ends with the database folder: "... in /tmp/x/hostsim-demo-GUID/" on Linux,
# "... in C:\\users\\...\\hostsim-demo-GUID\\" (escaped) on Windows.
normalize() {
  sed -E 's/ in [^"]*hostsim-demo-[0-9A-Fa-f-]+(\/|\\\\)"/ in <demo folder>"/g' "$1"
}
normalize "$work/linux.json" >"$work/linux.norm"
normalize "$work/windows.json" >"$work/windows.norm"
if ! grep -q '<demo folder>' "$work/linux.norm"; then
  echo "compare-report: the Linux report names no demo folder; the check would be void" >&2
  exit 1
fi
if ! cmp -s "$work/linux.norm" "$work/windows.norm"; then
  echo "compare-report: the Windows report differs from the Linux one:" >&2
  diff "$work/linux.norm" "$work/windows.norm" | head -n 40 >&2 || true
  exit 1
fi
echo "compare-report: the Windows JSON report equals the Linux one ($(wc -c <"$work/linux.json") bytes)"
