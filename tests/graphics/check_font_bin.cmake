# Regenerates font.bin from the Hershey data and compares it with the committed file.
execute_process(COMMAND ${PYTHON} ${GENERATOR} ${INPUT} ${OUTPUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_font.py failed (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "data/font.bin differs from the generator's output; rerun tools/make_font.py")
endif()
