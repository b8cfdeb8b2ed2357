# Typesets the user manual with groff's ms macros into a PDF.
#   cmake -DGROFF=... -DSOURCE=... -DOUTPUT=... -DWEB=... -DMAIL=... -P make_manual.cmake
if(NOT GROFF)
  message(FATAL_ERROR "groff is needed to build CryptelleManual.pdf (tools/install-deps installs it)")
endif()
execute_process(
  COMMAND ${GROFF} -ms -Tpdf -wall -dWEB=${WEB} -dMAIL=${MAIL} ${SOURCE}
  OUTPUT_FILE ${OUTPUT}.part
  ERROR_VARIABLE warnings
  RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "groff failed on ${SOURCE} (${result}):\n${warnings}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
