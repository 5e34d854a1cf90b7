#!/usr/bin/env bash
# The package for Windows users: build-win/dist/dirivararez-win64.zip with the two programs,
# the Qt DLLs and plugins they need, the C++ runtime DLLs and README.txt, all in the zip's top
# folder (Qt finds its plugins in the program's folder).
#
#   tools/windows/dist.sh     (make windows-dist)
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=tools/windows/env.sh
. tools/windows/env.sh
build_windows --target dirivararez hostsim

dist="$build/dist"
stage="$dist/dirivararez-win64"
zip="$dist/dirivararez-win64.zip"
rm -rf "$stage" "$zip"
mkdir -p "$stage/platforms" "$stage/styles"

# The programs without their debugging information; the plugins the window loads: the
# Windows platform, the native widget style. Qt's sound output is in its Multimedia DLL.
for exe in dirivararez hostsim; do
  x86_64-w64-mingw32-strip -o "$stage/$exe.exe" "$build/bin/$exe.exe"
done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
if [ -d "$qt/plugins/multimedia" ] && [ -n "$(ls "$qt/plugins/multimedia")" ]; then
  mkdir -p "$stage/multimedia"
  cp "$qt/plugins/multimedia/"*.dll "$stage/multimedia/"
fi

# Every DLL these import that is Qt's or the C++ runtime's, and what those import in turn;
# the rest are the system's own.
declare -A available=()
for dll in "$qt"/bin/*.dll $(runtime_dlls); do
  available["$(basename "${dll,,}")"]="$dll"
done
queue=("$stage"/*.exe "$stage"/*/*.dll)
while [ "${#queue[@]}" -gt 0 ]; do
  file="${queue[0]}"
  queue=("${queue[@]:1}")
  for name in $(x86_64-w64-mingw32-objdump -p "$file" | awk '/DLL Name:/ {print tolower($3)}'); do
    src="${available[$name]:-}"
    if [ -n "$src" ] && [ ! -e "$stage/$(basename "$src")" ]; then
      cp "$src" "$stage/"
      queue+=("$stage/$(basename "$src")")
    fi
  done
done

# The runtime DLLs come with their debugging information (libstdc++ alone 23 MB): not for
# users.
x86_64-w64-mingw32-strip --strip-debug "$stage"/*.dll

# Windows line ends, for every editor there.
sed 's/$/\r/' tools/windows/README.txt >"$stage/README.txt"
(cd "$stage" && zip -q -r -X -9 "../$(basename "$zip")" .)
echo "$zip: $(du -h "$zip" | cut -f1), $(find "$stage" -type f | wc -l) files" >&2
