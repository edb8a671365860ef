# The programs: each a key (its row of programs/program_table.h, and its target's name) and the
# library of its Generate job. The one list that the build, the tests and scripts/run.sh read.
set(TOOL_PROGRAMS
  orvane:jobs
  kestrin:jobs
  talvose:jobs
  vaskel:jobs)

# tool_program_keys(out): the keys alone, in the list's order.
function(tool_program_keys out)
  set(keys)
  foreach(item IN LISTS TOOL_PROGRAMS)
    string(REPLACE ":" ";" pair ${item})
    list(GET pair 0 key)
    list(APPEND keys ${key})
  endforeach()
  set(${out} ${keys} PARENT_SCOPE)
endfunction()

# add_tool_program(key job_library): one of the programs, the tool dialog with the front end of
# this build and the program's own job. `key` selects the program's row of the program table.
function(add_tool_program key job_library)
  if(WIN32)
    add_executable(${key} WIN32 ${PROJECT_SOURCE_DIR}/dialog/win32/entry.cpp ${PROJECT_SOURCE_DIR}/dialog/win32/tool_dialog.rc)
    target_link_libraries(${key} PRIVATE dialog_win32 ${job_library})
  else()
    add_executable(${key} ${PROJECT_SOURCE_DIR}/dialog/qt/entry.cpp)
    target_link_libraries(${key} PRIVATE dialog_qt ${job_library})
  endif()
  target_compile_definitions(${key} PRIVATE TOOL_PROGRAM=${key})
  tool_package_program(${key} ${key})
endfunction()
