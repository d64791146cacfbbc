# 32-bit Windows; the tests run under wine32, which plain `wine` starts for a 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ORVANE_MINGW_TRIPLE i686-w64-mingw32)
set(ORVANE_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
