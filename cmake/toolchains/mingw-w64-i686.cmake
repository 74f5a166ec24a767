# 32-bit Windows (x86): the five exports are __stdcall there.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(ZELK_MINGW_TRIPLE i686-w64-mingw32)
set(ZELK_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
