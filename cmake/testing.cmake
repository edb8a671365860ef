# GoogleTest: Debian's prebuilt libraries for native builds; for the cross build it is compiled
# from Debian's sources, since no MinGW build of it is packaged.
if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()

# tool_test_version(target): project()'s version for a test, as TOOL_TEST_VERSION (read through
# testing/project_version.h), handed over apart from programs/version.h, which the programs print.
function(tool_test_version target)
  target_compile_definitions(${target} PRIVATE TOOL_TEST_VERSION="${PROJECT_VERSION}")
endfunction()

# add_tool_test(name SOURCES ... LIBS ...): one test executable, registered by target name so that
# CTest runs it through the cross-compiling emulator (Wine) by itself.
function(add_tool_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  tool_test_version(${name})
  add_test(NAME ${name} COMMAND ${name})
endfunction()
