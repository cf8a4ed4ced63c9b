# Regenerates cfdump.bin from the generator and compares it with the committed file.
execute_process(COMMAND ${PYTHON} ${GENERATOR} --protocols ${PROTOCOLS} --output ${OUTPUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_cfdump.py failed (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "data/cfdump.bin differs from the generator's output; rerun tools/make_cfdump.py")
endif()
