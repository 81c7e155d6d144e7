# Renders each page with man's warnings on; any warning fails the test.
foreach(page IN LISTS PAGES)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 ${MAN} --warnings -l ${page}
    RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
  if(NOT status EQUAL 0 OR NOT warnings STREQUAL "" OR text STREQUAL "")
    message(FATAL_ERROR "${page}: status ${status}\n${warnings}")
  endif()
endforeach()
