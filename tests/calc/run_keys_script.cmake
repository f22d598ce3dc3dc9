# Runs `kalvora-cli keys SCRIPT`, and the same script on standard input, and
# compares standard output and exit status with SCRIPT's .expected and
# .status files.
string(REGEX REPLACE "\\.keys$" "" base "${SCRIPT}")
file(READ ${base}.expected expected)
set(expected_status 0)
if(EXISTS ${base}.status)
  file(STRINGS ${base}.status expected_status LIMIT_COUNT 1)
endif()

foreach(mode file stdin)
  if(mode STREQUAL "file")
    execute_process(COMMAND ${CLI} keys ${SCRIPT}
      OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  else()
    execute_process(COMMAND ${CLI} keys INPUT_FILE ${SCRIPT}
      OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  endif()
  if(NOT status STREQUAL expected_status)
    message(FATAL_ERROR "${mode}: exit status ${status}, expected ${expected_status}\nstderr:\n${err}")
  endif()
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "${mode}: output differs from ${base}.expected\n--- got ---\n${out}--- expected ---\n${expected}")
  endif()
  if(expected_status STREQUAL "2" AND err STREQUAL "")
    message(FATAL_ERROR "${mode}: an error exit without a message on standard error")
  endif()
endforeach()
