#!/usr/bin/env bash
# `make test-office`: a real spreadsheet imports the clipboard renderings of a copy.
#   tools/office-check.sh [BUILD_DIR]      (default build; needs BUILD_DIR/bin/office_check)
# Installs the spreadsheet from Debian when it is missing, writes the HTML and CSV renderings
# of a copy (office_check render), lets the spreadsheet convert each of them, headless and
# under a German locale, to a flat OpenDocument file, and compares every cell with the
# expected texts and numbers (office_check compare).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

# shellcheck source=tools/windows/apt.sh
. tools/windows/apt.sh
apt_install_missing libreoffice-calc

work=$(mktemp -d)
office_pid=""
cleanup() {
  # Only what this script started: the spreadsheet's process group.
  if [ -n "$office_pid" ]; then
    kill -KILL -- "-$office_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# One conversion run: the spreadsheet with a throwaway profile, at most two minutes. `timeout`
# leads a process group of its own, which takes the spreadsheet's helper processes along.
# The spreadsheet takes its locale from LC_ALL (the system need not have that locale).
convert() {
  local filter=$1
  shift
  LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 timeout -k 10 120 soffice \
    "-env:UserInstallation=file://$work/profile" --headless --norestore --nologo \
    --infilter="$filter" --convert-to fods --outdir "$work/out" "$@" \
    >>"$work/office.log" 2>&1 </dev/null &
  office_pid=$!
  local rc=0
  wait "$office_pid" || rc=$?
  kill -KILL -- "-$office_pid" 2>/dev/null || true
  office_pid=""
  if [ "$rc" != 0 ]; then
    echo "the spreadsheet failed (exit status $rc):" >&2
    cat "$work/office.log" >&2
    exit 1
  fi
}

mkdir -p "$work/in" "$work/out"
"$build/bin/office_check" render "$work/in"
# The CSV filter's options: comma, double quote, character set (1 Windows-1252, 76 UTF-8),
# from line 1, no column formats, German, quoted fields not forced to text.
convert "HTML (StarCalc)" "$work/in/windows-html.html" "$work/in/linux-html.html"
convert "Text - txt - csv (StarCalc):44,34,1,1,,1031,false" "$work/in/windows-csv.csv"
convert "Text - txt - csv (StarCalc):44,34,76,1,,1031,false" "$work/in/linux-csv.csv"
"$build/bin/office_check" compare "$work/out" || {
  cat "$work/office.log" >&2
  exit 1
}
