# Cross build of genuine Windows programs with MinGW-w64; tests run under Wine. Included by the
# toolchain file of each architecture, which sets TOOL_MINGW_PROCESSOR (i686 or x86_64) and
# TOOL_WINE_NAMES, the names of the Wine loader that runs that architecture's programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TOOL_MINGW_PROCESSOR})

set(TOOLCHAIN_PREFIX ${TOOL_MINGW_PROCESSOR}-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which the win32 model's runtime lacks. The
# programs themselves use no threads, and -static keeps winpthread inside each .exe.
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian keeps the loaders in /usr/lib/wine; its `wine` launcher picks the 32-bit one whenever wine32
# is installed, so the 64-bit build names wine64 itself.
find_program(WINE_PROGRAM NAMES ${TOOL_WINE_NAMES} PATHS /usr/lib/wine)
if(NOT WINE_PROGRAM)
  message(FATAL_ERROR "Wine (${TOOL_WINE_NAMES}) was not found: the ${TOOL_MINGW_PROCESSOR} tests run under it. "
                      "Run scripts/install-deps.sh and configure again.")
endif()
# The wrapper gives the tests a Wine prefix of their own inside the build folder, and runs them
# with this build's loader.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${WINE_PROGRAM})
