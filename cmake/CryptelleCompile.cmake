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
