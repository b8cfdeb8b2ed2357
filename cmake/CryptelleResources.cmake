# Windows resources shared by every deliverable.

string(REPLACE "." "," CRYPTELLE_VERSION_COMMAS "${PROJECT_VERSION}")

# Adds a version resource (1.0.1.0 from the project version) to a Windows target.
#   cryptelle_add_version_resource(target DESCRIPTION text FILENAME name [DRIVER|DLL])
function(cryptelle_add_version_resource target)
  cmake_parse_arguments(V "DRIVER;DLL" "DESCRIPTION;FILENAME" "" ${ARGN})
  set(RC_DESCRIPTION "${V_DESCRIPTION}")
  set(RC_ORIGINAL_FILENAME "${V_FILENAME}")
  get_filename_component(RC_INTERNAL_NAME "${V_FILENAME}" NAME_WE)
  set(RC_FILE_TYPE VFT_APP)
  set(RC_FILE_SUBTYPE VFT2_UNKNOWN)
  if(V_DLL)
    set(RC_FILE_TYPE VFT_DLL)
  elseif(V_DRIVER)
    set(RC_FILE_TYPE VFT_DRV)
    set(RC_FILE_SUBTYPE VFT2_DRV_SYSTEM)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
