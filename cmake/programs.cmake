# add_tool_program(key job_library): one of the four programs, the tool dialog with the front end
# of this build and the program's own job. `key` selects the program's row of the program table.
function(add_tool_program key job_library)
  if(WIN32)
    add_executable(${key} WIN32 ${PROJECT_SOURCE_DIR}/frame/win32/entry.cpp ${PROJECT_SOURCE_DIR}/frame/win32/tool_dialog.rc)
    target_link_libraries(${key} PRIVATE frame_win32 ${job_library})
  else()
    add_executable(${key} ${PROJECT_SOURCE_DIR}/frame/qt/entry.cpp)
    target_link_libraries(${key} PRIVATE frame_qt ${job_library})
  endif()
  target_compile_definitions(${key} PRIVATE TOOL_PROGRAM=${key})
endfunction()
