# Sanitizer builds: the asan-ubsan and tsan presets set ZELK_SANITIZE.
if(ZELK_SANITIZE STREQUAL "address-undefined")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ZELK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ZELK_SANITIZE STREQUAL "")
  message(FATAL_ERROR "Unknown ZELK_SANITIZE value: ${ZELK_SANITIZE}")
endif()

# Fuzz targets: every library is instrumented for libFuzzer's coverage feedback; only the fuzz programs link
# libFuzzer's main.
if(ZELK_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (the fuzz preset uses clang++-14)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
