# Fills the package folder with exactly the listed files, nothing else.
#   cmake -DLIST=files.txt -DDIST=folder -DOBJCOPY=objcopy -DSIGNCODE=osslsigncode
#         -DKEY=key -DCERTIFICATE=cer -DBUILD_TYPE=type -P make_package.cmake
# Each line of LIST is "name|source"; a name ending in .txt is written with
# CRLF line ends for Notepad. Programs, libraries and the driver go in
# without their debug sections, which are kept in DIST-symbols/<name>.debug.
# The driver is signed with the test certificate twice: SHA-1 for Windows
# Vista and 7, and a nested SHA-256 signature for later systems. The
# certificate goes into the package's sub-folder Certificate, which setup's
# file count does not see.
if(NOT BUILD_TYPE STREQUAL "RelWithDebInfo")
  message(FATAL_ERROR "package: made from a release build with debug information "
                      "(RelWithDebInfo), not from a ${BUILD_TYPE} build")
endif()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "package: ${ARGN} failed:\n${output}")
  endif()
endfunction()

function(sign_driver unsigned signed)
  set(signer ${SIGNCODE} sign -certs ${CERTIFICATE} -key ${KEY}
      -n "Cryptelle Encrypted Disk Driver")
  run(${signer} -h sha1 -in ${unsigned} -out ${unsigned}.sha1)
  run(${signer} -h sha256 -nest -in ${unsigned}.sha1 -out ${signed})
  file(REMOVE ${unsigned}.sha1)
endfunction()

file(STRINGS ${LIST} entries)
set(symbols ${DIST}-symbols)
file(REMOVE_RECURSE ${DIST} ${symbols})
file(MAKE_DIRECTORY ${DIST} ${symbols})
set(count 0)
foreach(entry ${entries})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 source)
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "package: ${source} was not built")
  endif()
  if(name MATCHES "\\.txt$")
    file(READ ${source} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${DIST}/${name} "${text}")
  elseif(name MATCHES "\\.(exe|dll|sys)$")
    set(debug ${symbols}/${name}.debug)
    set(stripped ${symbols}/${name})
    run(${OBJCOPY} --only-keep-debug ${source} ${debug})
    run(${OBJCOPY} --strip-debug --add-gnu-debuglink=${debug} ${source} ${stripped})
    if(name MATCHES "\\.sys$")
      sign_driver(${stripped} ${DIST}/${name})
      file(REMOVE ${stripped})
    else()
      file(RENAME ${stripped} ${DIST}/${name})
    endif()
  else()
    file(COPY_FILE ${source} ${DIST}/${name})
  endif()
  math(EXPR count "${count} + 1")
endforeach()
file(MAKE_DIRECTORY ${DIST}/Certificate)
file(COPY_FILE ${CERTIFICATE} ${DIST}/Certificate/CryptelleTestSigning.cer)
if(NOT count EQUAL 12)
  message(WARNING "package: ${DIST} holds ${count} files, not 12; setup refuses such a package")
else()
  message(STATUS "package: ${DIST} holds the 12 files")
endif()
