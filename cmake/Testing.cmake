# GoogleTest and the test runner: native tests run directly, Windows tests run
# under Wine in a prefix of the build tree's own.
if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(t gtest gtest_main gmock gmock_main)
    target_compile_options(${t} PRIVATE -w)
    target_link_options(${t} PUBLIC -static)
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()

if(CMAKE_CROSSCOMPILING AND WIN32)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "i686|i386")
    set(NORVELLIX_WINEARCH win32)
  else()
    set(NORVELLIX_WINEARCH win64)
  endif()
  set(NORVELLIX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/tools/wine-run.sh ${NORVELLIX_WINEPREFIX} ${NORVELLIX_WINEARCH})
  # Windows need a display, and every Wine program of one prefix must see the
  # same one (the prefix's desktop lives on it): a private Xvfb runs for the
  # whole test run, and wine-run.sh finds it through PREFIX.xvfb.display.
  add_test(NAME xvfb_start COMMAND ${CMAKE_SOURCE_DIR}/tools/xvfb.sh start
           ${NORVELLIX_WINEPREFIX}.xvfb)
  set_tests_properties(xvfb_start PROPERTIES FIXTURES_SETUP display)
  add_test(NAME xvfb_stop COMMAND ${CMAKE_SOURCE_DIR}/tools/xvfb.sh stop
           ${NORVELLIX_WINEPREFIX}.xvfb)
  set_tests_properties(xvfb_stop PROPERTIES FIXTURES_CLEANUP display)
  # The prefix is made before the first test; the wineserver of this prefix
  # (and no other) is shut down after the last.
  add_test(NAME wine_prefix COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run.sh
           ${NORVELLIX_WINEPREFIX} ${NORVELLIX_WINEARCH} --prepare)
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine FIXTURES_REQUIRED display)
  add_test(NAME wine_shutdown COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run.sh
           ${NORVELLIX_WINEPREFIX} ${NORVELLIX_WINEARCH} --shutdown)
  set_tests_properties(wine_shutdown PROPERTIES FIXTURES_CLEANUP wine FIXTURES_REQUIRED display)
endif()

# norvellix_add_test(<name> SOURCES ... [LIBS ...]): one test program, one ctest
# entry (a Wine start per test case would cost more than the cases themselves).
function(norvellix_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE project_options GTest::gtest_main ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(CMAKE_CROSSCOMPILING AND WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "wine;display")
  endif()
endfunction()

if(NORVELLIX_BENCHMARKS AND NOT CMAKE_CROSSCOMPILING)
  find_package(benchmark QUIET)
endif()

# norvellix_add_benchmark(<name> SOURCES ...): native only; not run by ctest.
function(norvellix_add_benchmark name)
  if(NOT benchmark_FOUND)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE project_options benchmark::benchmark_main ${ARG_LIBS})
endfunction()
