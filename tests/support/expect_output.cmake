# cmake -DCOMMAND="a|b|c" -DEXPECTED=file [-DSTATUS=n] [-DWORKING_DIRECTORY=dir] -P expect_output.cmake
# Runs the command and fails unless its standard output is the expected file's text and
# its exit status is STATUS (default 0). Shows the difference when they differ.
string(REPLACE "|" ";" command "${COMMAND}")
if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()
if(NOT DEFINED WORKING_DIRECTORY)
  set(WORKING_DIRECTORY ".")
endif()
execute_process(COMMAND ${command} WORKING_DIRECTORY ${WORKING_DIRECTORY}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(READ "${EXPECTED}" expected)
if(NOT rc STREQUAL "${STATUS}")
  message(FATAL_ERROR "exit status ${rc}, wanted ${STATUS}\n${out}${err}")
endif()
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "output differs from ${EXPECTED}:\n--- got\n${out}--- wanted\n${expected}")
endif()
