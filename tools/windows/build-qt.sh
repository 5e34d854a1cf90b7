#!/usr/bin/env bash
# Qt for 64-bit Windows, cross-built with mingw-w64 (posix threads) from Debian's source
# packages: qtbase, qtshadertools and qtmultimedia, as shared libraries, into a cache outside
# the tree keyed by the Qt version and this script's own hash. When that prefix is complete,
# nothing happens. Prints the prefix on its last line.
#
#   tools/windows/build-qt.sh      # cache: ${XDG_CACHE_HOME:-$HOME/.cache}/dirivararez/
#
# About 22 minutes on two cores; it runs under `nice`. The full log stays beside the prefix
# (<prefix>.log); on failure only its tail is shown.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
qt_version=6.4.2
script_hash="$(sha256sum "$here/build-qt.sh" | cut -c1-12)"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/dirivararez"
prefix="$cache/qt-$qt_version-mingw-w64-$script_hash"
log="$prefix.log"
jobs="${JOBS:-$(nproc)}"
triple=x86_64-w64-mingw32

if [ -f "$prefix/.done" ]; then
  echo "$prefix"
  exit 0
fi

# shellcheck source=apt.sh
. "$here/apt.sh"
# The cross compiler, and Debian's own Qt for the tools that run on this machine during the
# build (moc, rcc, uic, qsb, ...).
apt_install_missing g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 cmake ninja-build \
  dpkg-dev perl qt6-base-dev qt6-base-dev-tools qt6-shader-baker qt6-shadertools-dev

mkdir -p "$cache"
# Two runs at once (say, the tests and the package) would build into the same prefix.
exec 8>"$cache/qt-build.lock"
flock -w 3600 8 || {
  echo "build-qt: another build of Qt still holds $cache/qt-build.lock" >&2
  exit 1
}
if [ -f "$prefix/.done" ]; then
  echo "$prefix"
  exit 0
fi

work="$(mktemp -d "$cache/qt-build.XXXXXX")"
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
: >"$log"
echo "Building Qt $qt_version for Windows into $prefix (log: $log)" >&2

fail() {
  echo "build-qt: $1 failed; the end of $log:" >&2
  tail -n 40 "$log" >&2
  exit 1
}
step() { # name command...
  local name="$1"
  shift
  echo "== $name" >>"$log"
  local start=$SECONDS
  nice -n 10 "$@" >>"$log" 2>&1 || fail "$name"
  echo "  $name: $((SECONDS - start)) s" >&2
}

apt_enable_sources
step "downloading the sources" \
  sh -c "cd '$work' && apt-get source -q qt6-base qt6-shadertools qt6-multimedia"
for p in qt6-base qt6-shadertools qt6-multimedia; do
  src="$(echo "$work/$p"-*/)"
  [ -d "$src" ] || fail "unpacking $p"
  case "$src" in
  *"-$qt_version"*) ;;
  *) fail "the Debian sources are not Qt $qt_version ($src)" ;;
  esac
done

# A toolchain of its own: the project's adds things meant for the project's programs. The
# DLLs link the C++ runtime dynamically, as programs linked against them do too.
toolchain="$prefix/mingw-w64.cmake"
mkdir -p "$prefix"
cat >"$toolchain" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
host=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)

# qtbase. Debian's tarball lacks the tablet library; the modules the program does not use
# stay out. The bundled third-party libraries are used, so the DLLs need nothing else.
step "configuring qtbase" cmake -S "$work"/qt6-base-*/ -B "$work/base" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  "${host[@]}" -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_openssl=OFF \
  -DFEATURE_androiddeployqt=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_zstd=OFF
step "building qtbase" cmake --build "$work/base" -j "$jobs"
step "installing qtbase" cmake --install "$work/base"

# Modules on top of it go through the toolchain file Qt installed.
module=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${host[@]}"
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)
step "configuring qtshadertools" cmake -S "$work"/qt6-shadertools-*/ -B "$work/shadertools" \
  "${module[@]}"
step "building qtshadertools" cmake --build "$work/shadertools" -j "$jobs"
step "installing qtshadertools" cmake --install "$work/shadertools"

# qtmultimedia: the audio output (QAudioSink) is part of the library; its player and capture
# plugin does not build with these headers and is not needed. Some sources name headers in
# the letter case of Windows' SDK, and Media Foundation's import libraries are searched for
# under names mingw-w64 spells in lower case.
mm="$(echo "$work"/qt6-multimedia-*/)"
sed -i '/add_subdirectory(windows)/d' "$mm/src/plugins/multimedia/CMakeLists.txt"
grep -rlE '<(Mferror|Wmcodecdsp)\.h>' "$mm/src" | xargs -r sed -i -E \
  's/<Mferror\.h>/<mferror.h>/; s/<Wmcodecdsp\.h>/<wmcodecdsp.h>/'
lib="/usr/$triple/lib"
step "configuring qtmultimedia" cmake -S "$mm" -B "$work/multimedia" "${module[@]}" \
  -DFEATURE_spatialaudio=OFF -DFEATURE_ffmpeg=OFF \
  -DWMF_MF_LIBRARY="$lib/libmf.a" -DWMF_MFUUID_LIBRARY="$lib/libmfuuid.a" \
  -DWMF_MFPLAT_LIBRARY="$lib/libmfplat.a" -DWMF_MFCORE_LIBRARY="$lib/libmfcore.a" \
  -DWMF_PROPSYS_LIBRARY="$lib/libpropsys.a"
step "building qtmultimedia" cmake --build "$work/multimedia" -j "$jobs"
step "installing qtmultimedia" cmake --install "$work/multimedia"

touch "$prefix/.done"
echo "Qt $qt_version for Windows: $(du -sh "$prefix" | cut -f1) in $prefix" >&2
echo "$prefix"
