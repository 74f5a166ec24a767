# Fails when a C++ source of the repository is not formatted as .clang-format says.
execute_process(COMMAND git ls-files -- "*.cpp" "*.h" WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE files OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(STATUS "not a git checkout: formatting not checked")
  return()
endif()
string(REPLACE "\n" ";" files "${files}")
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files} WORKING_DIRECTORY ${SOURCE_DIR}
                RESULT_VARIABLE rc ERROR_VARIABLE errors)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "clang-format finds unformatted code:\n${errors}")
endif()
