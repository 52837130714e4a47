# channel_add_fuzzer(NAME SOURCES file... LIBS lib... CORPUS dir [DICT file] [RUNS n])
#
# In the fuzz preset (CHANNEL_FUZZ, clang): a libFuzzer binary, and a test that
# runs it for RUNS executions (default 20000) starting from its seed corpus.
# In every other native build: the same target linked with a small driver that
# replays the seed corpus, registered as a test, so the corpus is always run.
# Convention: CORPUS is <folder>/fuzz_corpus/NAME and DICT <folder>/fuzz_corpus/NAME.dict;
# scripts/fuzz.sh relies on it for long runs.
function(channel_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS;DICT;RUNS" "SOURCES;LIBS" ${ARGN})
  if(WIN32)
    return()
  endif()
  if(NOT F_RUNS)
    set(F_RUNS 20000)
  endif()
  if(CHANNEL_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(args -runs=${F_RUNS} -seed=1 -timeout=10)
    if(F_DICT)
      list(APPEND args -dict=${F_DICT})
    endif()
    # A scratch corpus in the build tree, so the seeds in the source tree stay as committed.
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -E env ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer.sh
                     $<TARGET_FILE:${name}> ${F_CORPUS} ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus ${args})
  else()
    add_executable(${name}_replay ${F_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/fuzz_replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
    add_test(NAME ${name}_replay COMMAND ${name}_replay ${F_CORPUS})
  endif()
endfunction()

# channel_add_fuzzers(TARGETS name... LIBS lib...)
#
# Fuzz targets of the current folder by convention: NAME.cpp, seeds in
# fuzz_corpus/NAME/, dictionary fuzz_corpus/NAME.dict.
function(channel_add_fuzzers)
  cmake_parse_arguments(F "" "" "TARGETS;LIBS" ${ARGN})
  foreach(fuzzer IN LISTS F_TARGETS)
    channel_add_fuzzer(${fuzzer}
      SOURCES ${fuzzer}.cpp
      LIBS ${F_LIBS}
      CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_corpus/${fuzzer}
      DICT ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_corpus/${fuzzer}.dict)
  endforeach()
endfunction()
