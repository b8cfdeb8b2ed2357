# Cross build for Windows (x86_64) with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CRYPTELLE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Test programs run under Wine through the test bed's runner.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/wine-run)
