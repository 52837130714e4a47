# The product's own tree has no tests.
if(CHANNEL_PRODUCT_ONLY)
  function(channel_add_test)
  endfunction()
  return()
endif()

# GoogleTest: Debian's prebuilt libgtest natively; for Windows, the sources in
# /usr/src/googletest compiled by the cross compiler.
if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# channel_add_test(NAME SOURCES file... [LIBS lib...] [WINDOWS_ONLY] [LABELS label...])
#
# One test executable, registered with ctest as one test. In the Windows build
# ctest starts it through the Wine wrapper (CMAKE_CROSSCOMPILING_EMULATOR).
# The fuzz preset builds fuzz targets only, so unit tests are skipped there.
# No test has a time limit of its own: tests are sized by work counts, so a
# loaded machine (or qemu-user) makes them slower, not wrong; the test presets'
# one timeout of an hour only ends a test that hangs.
function(channel_add_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if((T_WINDOWS_ONLY AND NOT WIN32) OR CHANNEL_FUZZ)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_session)
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# In the Windows build every test runs inside one Wine session: the first test
# prepares the display and the prefix and starts a persistent wineserver, the
# last one ends it.
if(WIN32)
  add_test(NAME wine_session_start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --session-start)
  add_test(NAME wine_session_stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --session-stop)
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session)
endif()
