# Fails unless PROGRAM's dynamic symbol table defines the clipboard hook that the engine looks up by name.
execute_process(COMMAND nm -D --defined-only ${PROGRAM} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PROGRAM}")
endif()
if(NOT symbols MATCHES "[ \t]T zelk_host_clipboard_text\n")
  message(FATAL_ERROR "${PROGRAM} does not export zelk_host_clipboard_text")
endif()
