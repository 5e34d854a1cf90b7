#!/usr/bin/env bash
# Everything the Windows cross build needs that Debian does not ship ready-made for mingw-w64:
# installs the missing Debian packages, then builds GoogleTest and SQLite with the cross
# compiler into a cache outside the tree, keyed by version, so a second run costs nothing.
# Prints the prefix that holds both (include/ and lib/) on its last line.
#
#   tools/windows/deps.sh            # cache: ${XDG_CACHE_HOME:-$HOME/.cache}/dirivararez/mingw-w64
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
toolchain="$here/../../cmake/mingw-w64.cmake"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/dirivararez/mingw-w64"
jobs="${JOBS:-$(nproc)}"

packages="g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 libz-mingw-w64-dev
          tcl googletest dpkg-dev cmake ninja-build nlohmann-json3-dev zip unzip"
# shellcheck source=apt.sh
. "$here/apt.sh"
# shellcheck disable=SC2086
apt_install_missing $packages

# GoogleTest, from the sources Debian ships in /usr/src/googletest.
gtest_version="$(dpkg-query -W -f='${Version}' googletest)"
gtest_prefix="$cache/googletest-$gtest_version"
if [ ! -f "$gtest_prefix/.done" ]; then
  echo "Building GoogleTest $gtest_version for Windows" >&2
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  cmake -S /usr/src/googletest -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -DBUILD_GMOCK=OFF \
    -DINSTALL_GTEST=ON >&2
  cmake --build "$work/build" -j "$jobs" >&2
  cmake --install "$work/build" >&2
  touch "$gtest_prefix/.done"
  rm -rf "$work"
  trap - EXIT
fi

# SQLite, from Debian's source package.
sqlite_version="$(apt-cache policy sqlite3 libsqlite3-dev 2>/dev/null | awk '/Candidate:/ {print $2; exit}')"
sqlite_prefix="$cache/sqlite3-$sqlite_version"
if [ ! -f "$sqlite_prefix/.done" ]; then
  echo "Building SQLite $sqlite_version for Windows" >&2
  apt_enable_sources
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get source --download-only -q "sqlite3=$sqlite_version" >&2)
  tarball="$(ls "$work"/sqlite3_*.orig.tar.* | head -n 1)"
  mkdir "$work/src"
  tar -xf "$tarball" -C "$work/src" --strip-components=1
  # The amalgamation is generated on the build machine (native tools and tclsh) ...
  mkdir "$work/amal"
  (cd "$work/amal" && "$work/src/configure" --disable-tcl >/dev/null && make -s sqlite3.c >&2)
  # ... and compiled with the cross compiler.
  mkdir -p "$sqlite_prefix/include" "$sqlite_prefix/lib"
  x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
    -c "$work/amal/sqlite3.c" -o "$work/sqlite3.o"
  x86_64-w64-mingw32-ar rcs "$sqlite_prefix/lib/libsqlite3.a" "$work/sqlite3.o"
  cp "$work/amal/sqlite3.h" "$sqlite_prefix/include/"
  touch "$sqlite_prefix/.done"
  rm -rf "$work"
  trap - EXIT
fi

echo "$gtest_prefix;$sqlite_prefix"
