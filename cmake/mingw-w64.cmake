# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model, for std::thread),
# run under Wine. DIRI_WIN_DEPS names the prefixes that tools/windows/deps.sh filled with
# GoogleTest and SQLite. With the window, Qt's own toolchain file (from the Qt that
# tools/windows/build-qt.sh built) comes first and loads this one (QT_CHAINLOAD_TOOLCHAIN_FILE).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR ${_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_triple}-ranlib CACHE FILEPATH "")

# Test discovery and ctest run the programs through Wine.
find_program(_wine NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_wine})

set(DIRI_WIN_DEPS "" CACHE STRING "Prefixes holding GoogleTest and SQLite built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${DIRI_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
