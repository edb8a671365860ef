# The programs: each a key (its row of frame/program_table.h, and its target's name) and the
# library of its Generate job. The one list that the build, the tests and scripts/run.sh read.
set(TOOL_PROGRAMS
  orvane:subtract
  kestrin:export_loader
  talvose:import_frame
  vaskel:export_direct)

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
    add_executable(${key} WIN32 ${PROJECT_SOURCE_DIR}/frame/win32/entry.cpp ${PROJECT_SOURCE_DIR}/frame/win32/tool_dialog.rc)
    target_link_libraries(${key} PRIVATE frame_win32 ${job_library})
  else()
    add_executable(${key} ${PROJECT_SOURCE_DIR}/frame/qt/entry.cpp)
    target_link_libraries(${key} PRIVATE frame_qt ${job_library})
  endif()
  target_compile_definitions(${key} PRIVATE TOOL_PROGRAM=${key})
  tool_package_program(${key} ${key})
endfunction()
