# The cross build for Windows with mingw-w64, for the processor and triplet
# that the including toolchain file sets (CMAKE_SYSTEM_PROCESSOR,
# CRYPTELLE_MINGW_TRIPLET).
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: std::thread and std::mutex (GoogleTest needs them).
set(CMAKE_C_COMPILER ${CRYPTELLE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CRYPTELLE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CRYPTELLE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CRYPTELLE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
