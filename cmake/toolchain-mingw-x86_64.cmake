# 64-bit Windows programs (PE32+), tested with Wine's 64-bit loader, which needs no 32-bit support.
set(TOOL_MINGW_PROCESSOR x86_64)
set(TOOL_WINE_NAMES wine64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
