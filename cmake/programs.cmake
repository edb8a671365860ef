# The programs of the suite come from one table, programs/programs.cmake: one tool_program() call a
# program. The build, the C program table (programs/program_table.h, generated from it), the
# packages and the tests all read it, and nothing else lists the programs.

# Every field a row may have. A dialog needs all but GENERIC_NAME, CATEGORIES and KEYWORDS, which
# its desktop entry takes; a console program needs CAPTION and DESCRIPTION.
set(tool_program_fields CAPTION LABEL OPEN SAVE JOB DESCRIPTION GENERIC_NAME CATEGORIES KEYWORDS)

# tool_program(KEY dialog|console CAPTION text DESCRIPTION text [LABEL text OPEN list SAVE list
#              JOB job GENERIC_NAME text CATEGORIES category... KEYWORDS keyword...]): one row.
#   KEY          the program's file name and target name, lower case;
#   CAPTION      a dialog's caption and About title; the name menus and version information show;
#   LABEL        a dialog's second label;
#   OPEN, SAVE   the filter lists of a dialog's buttons 103 (open) and 105 (save), by their names in
#                programs/programs.h (`raw` for raw_filters);
#   JOB          a dialog's Generate job, a function of the `jobs` library;
#   DESCRIPTION  one line on what the program does, without a full stop: its desktop entry's
#                comment, version information, manual page, metainfo and package description;
#   GENERIC_NAME, CATEGORIES, KEYWORDS: a dialog's desktop entry.
# Sets TOOL_DIALOG_KEYS and TOOL_CONSOLE_KEYS (the keys of each kind, in the table's order) and
# TOOL_PROGRAM_<KEY>_<FIELD> for every field.
function(tool_program key kind)
  cmake_parse_arguments(PARSE_ARGV 2 row "" "CAPTION;LABEL;OPEN;SAVE;JOB;DESCRIPTION;GENERIC_NAME"
                        "CATEGORIES;KEYWORDS")
  if(row_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tool_program(${key}): unknown arguments ${row_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT key MATCHES "^[a-z][a-z0-9_]*$")
    message(FATAL_ERROR "tool_program(${key}): a key is lower-case letters, digits and underscores")
  endif()
  if(key IN_LIST TOOL_DIALOG_KEYS OR key IN_LIST TOOL_CONSOLE_KEYS)
    message(FATAL_ERROR "tool_program(${key}): a second row for ${key}")
  endif()
  if(kind STREQUAL dialog)
    set(required CAPTION LABEL OPEN SAVE JOB DESCRIPTION GENERIC_NAME CATEGORIES KEYWORDS)
    set(TOOL_DIALOG_KEYS ${TOOL_DIALOG_KEYS} ${key} PARENT_SCOPE)
  elseif(kind STREQUAL console)
    set(required CAPTION DESCRIPTION)
    set(TOOL_CONSOLE_KEYS ${TOOL_CONSOLE_KEYS} ${key} PARENT_SCOPE)
  else()
    message(FATAL_ERROR "tool_program(${key}): the kind is dialog or console, not \"${kind}\"")
  endif()
  foreach(field IN LISTS required)
    if(NOT DEFINED row_${field})
      message(FATAL_ERROR "tool_program(${key}): a ${kind} needs ${field}")
    endif()
  endforeach()
  # The caption and label become C strings and the filter lists and job C names in the generated
  # header, and the description a line of manual pages, desktop entries and XML.
  foreach(field IN ITEMS CAPTION LABEL DESCRIPTION GENERIC_NAME)
    if(row_${field} MATCHES "[\"\\\\<>&;]" OR row_${field} MATCHES "^[.']")
      message(FATAL_ERROR "tool_program(${key}): ${field} \"${row_${field}}\" holds a character that "
                          "one of the generated files would have to escape")
    endif()
  endforeach()
  foreach(field IN ITEMS OPEN SAVE JOB)
    if(DEFINED row_${field} AND NOT row_${field} MATCHES "^[a-z_][a-z0-9_]*$")
      message(FATAL_ERROR "tool_program(${key}): ${field} \"${row_${field}}\" is not a C name")
    endif()
  endforeach()
  foreach(field IN LISTS tool_program_fields)
    set(TOOL_PROGRAM_${key}_${field} "${row_${field}}" PARENT_SCOPE)
  endforeach()
  set(TOOL_PROGRAM_${key}_KIND ${kind} PARENT_SCOPE)
endfunction()

# add_tool_program(key): one of the dialogs, the tool dialog with the front end of this build and
# the program's own job. `key` selects the program's row of the program table.
function(add_tool_program key)
  if(WIN32)
    add_executable(${key} WIN32 ${PROJECT_SOURCE_DIR}/dialog/win32/entry.cpp ${PROJECT_SOURCE_DIR}/dialog/win32/tool_dialog.rc)
    target_link_libraries(${key} PRIVATE dialog_win32 jobs)
  else()
    add_executable(${key} ${PROJECT_SOURCE_DIR}/dialog/qt/entry.cpp)
    target_link_libraries(${key} PRIVATE dialog_qt jobs)
  endif()
  target_compile_definitions(${key} PRIVATE TOOL_PROGRAM=${key})
  tool_package_program(${key} ${key})
endfunction()

include(${PROJECT_SOURCE_DIR}/programs/programs.cmake)
