# A test's script: writes a page of docs/ from its template with rgb565_write_reference and fails
# when the page kept in the source tree differs, so that the page read on the web never drifts from
# the tables the program parses with. It prints the command that makes the page again.
#
#   cmake -DWRITER=... -DMODE=markdown -DTEMPLATE=... -DPAGE=... -DOUTPUT=... -P check-generated-doc.cmake
foreach(variable WRITER MODE TEMPLATE PAGE OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "check-generated-doc.cmake needs -D${variable}=...")
  endif()
endforeach()
execute_process(COMMAND ${WRITER} ${MODE} ${TEMPLATE} ${OUTPUT} RESULT_VARIABLE written)
if(NOT written EQUAL 0)
  message(FATAL_ERROR "${WRITER} ${MODE} ${TEMPLATE} ${OUTPUT} failed (${written})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${PAGE} RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${PAGE} is not what the format table makes; make it again with\n"
                      "  ${WRITER} ${MODE} ${TEMPLATE} ${PAGE}\n"
                      "(build the target rgb565_write_reference first) and commit it.")
endif()
