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

  # libnbd (PkgConfig::LIBNBD) and nbdkit (NBDKIT_PROGRAM) for the nbdkit
  # plugin's tests and benchmark: CRYPTELLE_NBD_FOUND. A sanitized plugin
  # needs the sanitizer runtime in nbdkit from the start:
  # CRYPTELLE_NBDKIT_PRELOAD.
  find_package(PkgConfig)
  if(PkgConfig_FOUND)
    pkg_check_modules(LIBNBD IMPORTED_TARGET GLOBAL libnbd)
  endif()
  find_program(NBDKIT_PROGRAM nbdkit)
  if(LIBNBD_FOUND AND NBDKIT_PROGRAM)
    set(CRYPTELLE_NBD_FOUND ON)
  else()
    set(CRYPTELLE_NBD_FOUND OFF)
  endif()
  set(CRYPTELLE_NBDKIT_PRELOAD "")
  if(CRYPTELLE_SANITIZE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
      OUTPUT_VARIABLE CRYPTELLE_NBDKIT_PRELOAD OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()

# The Linux build's tools, for the Linux-side checks of the containers that
# Wine tests leave.
if(CRYPTELLE_RUN_WINE_TESTS)
  set(CRYPTELLE_LINUX_TOOL ${CMAKE_SOURCE_DIR}/build/linux/tools/cryptelle_tool/cryptelle-tool
    CACHE FILEPATH "The Linux build's cryptelle-tool, for the Linux-side check of containers")
  set(CRYPTELLE_LINUX_NBDKIT_PLUGIN
    ${CMAKE_SOURCE_DIR}/build/linux/tools/nbdkit_plugin/nbdkit-cryptelle-plugin.so
    CACHE FILEPATH "The Linux build's nbdkit plugin, for the Linux half of the round trip")
endif()

# Adds a test to ctest where Wine tests run (win64): COMMAND runs under Wine
# through tools/wine/wine-run, in a fresh copy of the template prefix.
#   cryptelle_add_wine_test(NAME n COMMAND exe args...
#     [DISPLAY]            on a fresh Xvfb server
#     [HOST]               COMMAND runs on this machine, not under Wine: a
#                          Linux-side check of what a Wine test left
#     [SETUP script]       sourced inside the run before the program starts
#     [TIMEOUT s]          300 unless given
#     [ENVIRONMENT k=v...] beside CRYPTELLE_WINE_ROOT (HOST: alone)
#     [FIXTURES_SETUP f...] [FIXTURES_REQUIRED f...] [FIXTURES_CLEANUP f...]
#     [SKIP_RETURN_CODE c])
function(cryptelle_add_wine_test)
  set(lists ENVIRONMENT FIXTURES_SETUP FIXTURES_REQUIRED FIXTURES_CLEANUP)
  cmake_parse_arguments(T "DISPLAY;HOST" "NAME;SETUP;TIMEOUT;SKIP_RETURN_CODE"
    "COMMAND;${lists}" ${ARGN})
  if(NOT CRYPTELLE_RUN_WINE_TESTS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(T_HOST)
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  else()
    set(runner ${CRYPTELLE_WINE_RUNNER})
    if(T_DISPLAY)
      list(APPEND runner --display)
    endif()
    if(T_SETUP)
      list(APPEND runner --setup ${T_SETUP})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${runner} -- ${T_COMMAND})
    list(PREPEND T_ENVIRONMENT "CRYPTELLE_WINE_ROOT=${CRYPTELLE_WINE_ROOT}")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS wine)
  foreach(property ${lists} SKIP_RETURN_CODE)
    if(DEFINED T_${property})
      set_tests_properties(${T_NAME} PROPERTIES ${property} "${T_${property}}")
    endif()
  endforeach()
endfunction()

# A GoogleTest program. Natively every test case becomes a ctest test; under
# Wine the program runs whole, in a fresh copy of the template prefix, with
# the other options of cryptelle_add_wine_test (DISPLAY, SETUP, ...).
#   cryptelle_add_unit_test(NAME n SOURCES ... [LIBS ...] [NATIVE_ONLY]
#                           [WINDOWS_ONLY] [TIMEOUT s] [DISPLAY] ...)
function(cryptelle_add_unit_test)
  cmake_parse_arguments(T "NATIVE_ONLY;WINDOWS_ONLY" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
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
    cryptelle_add_wine_test(NAME ${T_NAME} TIMEOUT ${T_TIMEOUT}
      COMMAND $<TARGET_FILE:${T_NAME}> ${T_UNPARSED_ARGUMENTS})
  else()
    gtest_discover_tests(${T_NAME}
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS native)
  endif()
endfunction()

# Puts a copy of the built `library`, named `file_name`, beside the programs
# of the calling folder, which load it from there; `target` is built after it.
function(cryptelle_copy_beside target library file_name)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/${file_name})
  add_custom_command(OUTPUT ${copy}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${library}> ${copy}
    DEPENDS ${library})
  add_custom_target(${target}_${library}_copy DEPENDS ${copy})
  add_dependencies(${target} ${target}_${library}_copy)
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
