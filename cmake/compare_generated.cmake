# Runs a generator (with its arguments, a ;-list) into a scratch file and
# compares the result byte for byte with the asset the build wrote.
execute_process(COMMAND ${GENERATOR} ${ARGUMENTS} ${SCRATCH} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${GENERATOR} failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SCRATCH} ${ASSET} RESULT_VARIABLE same)
file(REMOVE ${SCRATCH})
if(NOT same EQUAL 0)
    message(FATAL_ERROR "${SCRATCH} differs from ${ASSET}")
endif()
