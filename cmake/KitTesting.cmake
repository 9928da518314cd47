# Unit tests (GoogleTest), benchmarks (Google Benchmark) and end-to-end tests
# registered with CTest.
find_package(GTest REQUIRED)
find_package(benchmark QUIET)
include(GoogleTest)

# kit_add_unit_test(<name> <sources>...): a GoogleTest program; every test in
# it becomes a CTest test.
function(kit_add_unit_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endfunction()

# kit_add_benchmark(<name> <sources>...): a Google Benchmark program, run
# briefly by CTest so that it keeps working; run it by hand for the figures.
function(kit_add_benchmark name)
  if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found: ${name} is not built")
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE benchmark::benchmark benchmark::benchmark_main)
  add_test(NAME ${name} COMMAND ${name} --benchmark_min_time=0.01)
  set_tests_properties(${name} PROPERTIES LABELS bench)
endfunction()

# Where the Windows builds are, for the file checks and the Wine tests.
set(KIT_WINDOWS_BUILD_ROOT ${CMAKE_SOURCE_DIR}/build CACHE PATH "Folder holding windows-x86/ and windows-x64/")
set(KIT_WINE /usr/lib/wine/wine64 CACHE FILEPATH "The 64-bit Wine loader")

# kit_add_wine_test(<name> COMMAND <command>...): a test that runs Windows
# builds under Wine.  The tests share one Wine prefix per CTest run (made by
# the wine_prefix fixture) and run one at a time.  A test exits with 77 to
# say it was skipped.
function(kit_add_wine_test name)
  cmake_parse_arguments(arg "" "" "COMMAND" ${ARGN})
  add_test(NAME ${name} COMMAND ${arg_COMMAND})
  set_tests_properties(${name} PROPERTIES
    LABELS wine
    FIXTURES_REQUIRED wine_prefix
    RESOURCE_LOCK wine
    SKIP_RETURN_CODE 77
    TIMEOUT 600
    ENVIRONMENT "WINE=${KIT_WINE};WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix;WINEDEBUG=-all;KIT_WIN64_BIN=${KIT_WINDOWS_BUILD_ROOT}/windows-x64/bin;KIT_WIN32_BIN=${KIT_WINDOWS_BUILD_ROOT}/windows-x86/bin;KIT_NATIVE_BIN=${CMAKE_BINARY_DIR}/bin;KIT_SOURCE=${CMAKE_SOURCE_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/wine;PYTHONDONTWRITEBYTECODE=1")
endfunction()
