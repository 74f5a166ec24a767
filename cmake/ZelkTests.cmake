# zelk_add_gtests(TARGET LABELS label...): registers a GoogleTest program's cases with CTest. Natively each
# case is a test of its own. In a cross build the program runs whole, once, under the emulator: starting a
# program there is costly, and listing its cases would need the emulator at build time.
function(zelk_add_gtests target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "LABELS")
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES LABELS "${ARG_LABELS}")
  else()
    gtest_discover_tests(${target} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
