# Runs one scenario in a fresh root and checks its exit status.
file(REMOVE_RECURSE ${ROOT})
execute_process(COMMAND ${SIM} run ${SCENARIO} --root ${ROOT} RESULT_VARIABLE status)
if(NOT status STREQUAL EXPECTED)
  message(FATAL_ERROR "${SCENARIO}: exit status ${status}, expected ${EXPECTED}")
endif()
