# The test bed: unit tests run natively with ctest, and the same tests built
# for win64 run under Wine through tools/wine/wine-run. win32 builds them and
# runs nothing (this machine's kernel refuses 32-bit programs).

enable_testing()

set(CRYPTELLE_WINE_RUNNER ${CMAKE_SOURCE_DIR}/tools/wine/wine-run)
set(CRYPTELLE_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)

if(CRYPTELLE_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CRYPTELLE_RUN_WINE_TESTS ON)
else()
  set(CRYPTELLE_RUN_WINE_TESTS OFF)
endif()

if(NOT CRYPTELLE_WINDOWS)
  find_package(GTest REQUIRED)
  find_package(benchmark REQUIRED)
  find_package(OpenSSL REQUIRED)
  include(GoogleTest)
endif()

# Adds a test program to ctest under Wine. Used by the unit tests below and by
# later driver and GUI tests.
#   cryptelle_add_wine_test(NAME n COMMAND exe args... [DISPLAY] [TIMEOUT s])
function(cryptelle_add_wine_test)
  cmake_parse_arguments(T "DISPLAY" "NAME;TIMEOUT" "COMMAND" ${ARGN})
  if(NOT CRYPTELLE_RUN_WINE_TESTS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(display_flag)
  if(T_DISPLAY)
    set(display_flag --display)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${CRYPTELLE_WINE_RUNNER} ${display_flag} -- ${T_COMMAND})
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS wine
    ENVIRONMENT "CRYPTELLE_WINE_ROOT=${CRYPTELLE_WINE_ROOT}")
endfunction()

# A GoogleTest program. Natively every test case becomes a ctest test; under
# Wine the program runs whole, in a fresh copy of the template prefix.
#   cryptelle_add_unit_test(NAME n SOURCES ... [LIBS ...] [NATIVE_ONLY]
#                           [WINDOWS_ONLY] [DISPLAY] [TIMEOUT s])
function(cryptelle_add_unit_test)
  cmake_parse_arguments(T "NATIVE_ONLY;WINDOWS_ONLY;DISPLAY" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(T_NATIVE_ONLY AND CRYPTELLE_WINDOWS)
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT CRYPTELLE_WINDOWS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  if(CRYPTELLE_WINDOWS)
    set(display_flag)
    if(T_DISPLAY)
      set(display_flag DISPLAY)
    endif()
    cryptelle_add_wine_test(NAME ${T_NAME} ${display_flag} TIMEOUT ${T_TIMEOUT}
      COMMAND $<TARGET_FILE:${T_NAME}>)
  else()
    gtest_discover_tests(${T_NAME}
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS native)
  endif()
endfunction()

# A Google Benchmark program (native only; never part of ctest).
function(cryptelle_add_benchmark)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(CRYPTELLE_WINDOWS)
    return()
  endif()
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()
