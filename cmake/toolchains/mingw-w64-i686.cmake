# 32-bit Windows (x86): the five exports are __stdcall there. ZELK_Eng.def lists them undecorated, as callers
# look them up; the linker binds each name to its decorated function (openKaldex to openKaldex@0) silently.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(ZELK_MINGW_TRIPLE i686-w64-mingw32)
set(ZELK_WINE_ARCH win32)
set(ZELK_MINGW_SHARED_LINKER_FLAGS "-Wl,--enable-stdcall-fixup")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
