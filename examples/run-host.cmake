# Runs PROGRAM and compares its standard output with the file EXPECTED; any difference, any output on
# standard error or a non-zero exit status fails.
execute_process(COMMAND ${PROGRAM} OUTPUT_VARIABLE actual ERROR_VARIABLE errors RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with status ${status}\n${errors}")
endif()
if(NOT errors STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} wrote to standard error:\n${errors}")
endif()
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "${PROGRAM} printed:\n${actual}\nexpected (${EXPECTED}):\n${expected}")
endif()
