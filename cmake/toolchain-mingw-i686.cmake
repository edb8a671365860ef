# 32-bit Windows programs (PE32); their tests need a machine that runs 32-bit programs and wine32.
set(TOOL_MINGW_PROCESSOR i686)
set(TOOL_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
