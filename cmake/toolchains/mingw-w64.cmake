# Cross-building for Windows with MinGW-w64, shared by the per-architecture toolchain files,
# which set ORVANE_MINGW_TRIPLE, ORVANE_WINE and (if any) ORVANE_EXE_LINKER_FLAGS before
# including this one.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix thread model, so that std::thread and std::mutex exist.
set(CMAKE_C_COMPILER ${ORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The MinGW runtime (libgcc, libstdc++, winpthread) goes into every program and DLL, so that
# each is one file that runs on a Windows machine with nothing else installed.
set(ORVANE_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ORVANE_STATIC_RUNTIME} ${ORVANE_EXE_LINKER_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${ORVANE_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${ORVANE_STATIC_RUNTIME}")

# Tests run under Wine, in a prefix of the build folder's own (see tools/wine-run).
get_filename_component(ORVANE_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${ORVANE_SOURCE_ROOT}/tools/wine-run;${ORVANE_WINE}")
