# Cross build for Windows with Debian's MinGW-w64 compilers; ZELK_MINGW_TRIPLE names the target
# (x86_64-w64-mingw32 or i686-w64-mingw32), ZELK_MINGW_SHARED_LINKER_FLAGS the target's own flags for DLLs.
# The POSIX thread model gives std::thread and std::mutex. Programs and the engine library link the compiler's
# runtime statically, so they need no DLL beside them. Test programs run under Wine (cmake/wine-run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10.0)

set(CMAKE_C_COMPILER ${ZELK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZELK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static ${ZELK_MINGW_SHARED_LINKER_FLAGS}")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../wine-run.sh ${ZELK_WINE_ARCH}
    ${CMAKE_BINARY_DIR}/wine-prefix)
