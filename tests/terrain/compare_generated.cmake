# Runs a generator into a scratch file and compares it byte for byte with the
# asset the build wrote: the assets must be reproducible.
execute_process(COMMAND ${GENERATOR} ${SCRATCH} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${GENERATOR} failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SCRATCH} ${ASSET} RESULT_VARIABLE same)
file(REMOVE ${SCRATCH})
if(NOT same EQUAL 0)
    message(FATAL_ERROR "${SCRATCH} differs from ${ASSET}")
endif()
