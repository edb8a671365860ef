# libFuzzer targets. Configure with clang and -DTOOLS_FUZZ=ON (the `fuzz` preset; scripts/fuzz.sh
# builds and runs them all): then every source is built with the sanitizers and libFuzzer's coverage
# instrumentation, so that a read outside an input shows wherever in the code it happens.
option(TOOLS_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(TOOLS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TOOLS_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++): libFuzzer comes with it.")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  # The list scripts/fuzz.sh runs: one line per target, tab-separated: name, regressions folder, seed
  # folders.
  set(TOOLS_FUZZ_LIST ${CMAKE_BINARY_DIR}/fuzz-targets.tsv)
  file(WRITE ${TOOLS_FUZZ_LIST} "")
endif()

# add_fuzz_target(name ENTRY source LIBS ... REGRESSIONS folder SEEDS folders... REPLAY_IN test):
# a fuzz entry point LLVMFuzzerTestOneInput(data, size) in `source`. With TOOLS_FUZZ it becomes
# the libFuzzer program `name` in fuzzers/, which scripts/fuzz.sh runs from its seeds and the saved
# inputs, keeping whatever it finds in REGRESSIONS. In every build the entry point is also
# compiled into the test program REPLAY_IN, which runs every input saved in REGRESSIONS through it.
function(add_fuzz_target name)
  cmake_parse_arguments(ARG "" "ENTRY;REGRESSIONS;REPLAY_IN" "LIBS;SEEDS" ${ARGN})
  target_sources(${ARG_REPLAY_IN} PRIVATE ${ARG_ENTRY} ${PROJECT_SOURCE_DIR}/testing/fuzz_regression_test.cpp)
  target_link_libraries(${ARG_REPLAY_IN} PRIVATE ${ARG_LIBS})
  target_compile_definitions(${ARG_REPLAY_IN} PRIVATE FUZZ_REGRESSIONS="${ARG_REGRESSIONS}")
  if(TOOLS_FUZZ)
    add_executable(${name} ${ARG_ENTRY})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
    list(JOIN ARG_SEEDS "\t" seeds)
    file(APPEND ${TOOLS_FUZZ_LIST} "${name}\t${ARG_REGRESSIONS}\t${seeds}\n")
  endif()
endfunction()
