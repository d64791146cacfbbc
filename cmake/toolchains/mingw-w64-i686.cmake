# 32-bit Windows; the tests run under wine32, which plain `wine` starts for a 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ORVANE_MINGW_TRIPLE i686-w64-mingw32)
set(ORVANE_WINE wine)
# Every program may use the whole 4 GiB that 64-bit Windows gives a 32-bit process, the tests
# too, so that they meet addresses above 2 GiB as the hosts do. (In a DLL the flag does
# nothing: the process's program decides.)
set(ORVANE_EXE_LINKER_FLAGS -Wl,--large-address-aware)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
