# Compiler settings shared by every target.

option(CRYPTELLE_SANITIZE "Build native code with AddressSanitizer and UBSan" OFF)

if(WIN32)
  set(CRYPTELLE_WINDOWS ON)
else()
  set(CRYPTELLE_WINDOWS OFF)
endif()

add_compile_options(-Wall -Wextra -Werror)

if(CRYPTELLE_WINDOWS)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # The package ships no runtime DLLs: libgcc, libstdc++ and winpthread go in statically.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Links a shipped program, library or driver with the win32 thread-model
# runtime of the same compiler, which imports nothing newer than Windows XP.
# The posix model, which the test programs need for std::thread, brings the
# static winpthread and its import of GetTickCount64 (Vista and later).
# Shipped code therefore uses no std::thread or std::mutex: the link fails.
function(cryptelle_link_for_oldest_windows target)
  set(launcher ${CMAKE_SOURCE_DIR}/cmake/link-with-win32-threads)
  set_target_properties(${target} PROPERTIES C_LINKER_LAUNCHER ${launcher}
    CXX_LINKER_LAUNCHER ${launcher})
endfunction()

if(CRYPTELLE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Code that the driver links, or that must stay usable from it: no exceptions,
# no RTTI, no global constructors, nothing of the standard library beyond
# fixed-width integers and memcpy/memset.
function(cryptelle_freestanding target)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()
