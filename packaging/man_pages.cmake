# Documents installed compressed as Debian expects them: at the highest level, with no name or time stamp
# inside. Every man page in man/ is installed so.
find_program(GZIP_PROGRAM gzip REQUIRED)
function(zelk_install_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/gz/${name})
  add_custom_command(OUTPUT ${copy}.gz
                     COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
                     COMMAND ${GZIP_PROGRAM} -9nf ${copy}
                     DEPENDS ${source} VERBATIM)
  add_custom_target(zelk_gz_${name} ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

file(GLOB zelk_man_pages CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/man/*.[18])
foreach(page IN LISTS zelk_man_pages)
  string(REGEX MATCH "[18]$" section ${page})
  zelk_install_gzipped(${page} ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
