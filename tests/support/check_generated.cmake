# Regenerates a shipped data file and compares it with the committed one:
#   cmake -DPYTHON=... -DGENERATOR=tools/x.py -DARGS="a|b|c" -DOUTPUT=... -DEXPECTED=data/x -P check_generated.cmake
# ARGS are the generator's arguments, separated by "|".
string(REPLACE "|" ";" args "${ARGS}")
get_filename_component(generator_name ${GENERATOR} NAME)
get_filename_component(expected_name ${EXPECTED} NAME)
execute_process(COMMAND ${PYTHON} ${GENERATOR} ${args} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${generator_name} failed (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "data/${expected_name} differs from the generator's output; rerun tools/${generator_name}")
endif()
