# shellcheck shell=bash
# The Windows build's set-up, shared by the Windows scripts; sourced from the project's
# top folder, not run. It installs and builds what the cross build needs (deps.sh, and
# build-qt.sh for Qt, which takes about 22 minutes the first time), then provides:
#   $build, $jobs, $qt             build folder (build-win), parallel jobs, Qt's prefix
#   WINEPREFIX, WINEPATH, ...      Wine with a prefix of our own in the build folder; WINEPATH
#                                  finds Qt's DLLs and the C++ runtime DLLs
#   runtime_dlls                   prints the C++ runtime DLLs the programs with Qt need
#   build_windows [ARGS...]        configures build-win/ and builds it (cmake --build ARGS:
#                                  --target NAME... for only some programs)
#   wine_prefix                    creates the Wine prefix when it does not exist yet
build="build-win"
jobs="${JOBS:-$(nproc)}"
deps="$(tools/windows/deps.sh | tail -n 1)"
qt="$(tools/windows/build-qt.sh | tail -n 1)"

runtime_dlls() {
  local dll
  for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")"
  done
}

# Mono and Gecko are not needed and would only slow the first start.
export WINEPREFIX="$PWD/$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPATH="Z:${qt//\//\\}\\bin"
for dll in $(runtime_dlls); do
  dir="$(dirname "$dll")"
  WINEPATH="$WINEPATH;Z:${dir//\//\\}"
done
export WINEPATH

wine_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  echo "Creating the Wine prefix $WINEPREFIX" >&2
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
}

build_windows() {
  local launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  wine_prefix
  # Qt's toolchain file finds Qt (and Debian's Qt for moc and the other build tools), then
  # hands over to ours. A folder configured with another toolchain file starts afresh: the
  # file is read only at the first configuration.
  local toolchain="$qt/lib/cmake/Qt6/qt.toolchain.cmake"
  if [ -f "$build/CMakeCache.txt" ] &&
    ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
  fi
  # Configured each time: cheap, and a folder from a build without the window gets it.
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DDIRI_WIN_DEPS="$deps" -DDIRI_GUI=ON "${launcher[@]}" >/dev/null
  cmake --build "$build" -j "$jobs" "$@"
}
