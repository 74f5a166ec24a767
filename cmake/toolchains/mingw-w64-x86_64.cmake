# 64-bit Windows (x64).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZELK_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZELK_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
