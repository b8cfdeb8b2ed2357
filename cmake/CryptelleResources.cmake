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

# Embeds the program manifest that every Cryptelle program carries
# (cmake/program.manifest.in): administrator rights, the supported Windows
# versions and the DPI awareness. COMMON_CONTROLS: the themed controls of
# version 6 as well.
#   cryptelle_add_manifest(target DESCRIPTION text [COMMON_CONTROLS])
function(cryptelle_add_manifest target)
  cmake_parse_arguments(M "COMMON_CONTROLS" "DESCRIPTION" "" ${ARGN})
  set(M_DEPENDENCY "")
  if(M_COMMON_CONTROLS)
    string(CONCAT M_DEPENDENCY
      "  <dependency>\n    <dependentAssembly>\n"
      "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
      "version=\"6.0.0.0\" processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" "
      "language=\"*\"/>\n    </dependentAssembly>\n  </dependency>")
  endif()
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/program.manifest.in ${manifest} @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
  # 1 and 24: the process manifest (CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST).
  file(CONFIGURE OUTPUT ${rc} CONTENT "1 24 \"${manifest}\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${manifest})
  target_sources(${target} PRIVATE ${rc})
endfunction()
