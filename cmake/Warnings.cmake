# Project-wide warning flags, applied to every target of this source tree.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow)
if(ZELK_WERROR)
  add_compile_options(-Werror)
endif()
