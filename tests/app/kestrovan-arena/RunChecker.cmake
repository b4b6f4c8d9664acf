# Runs CHECKER on FILES (a list, may be empty) and fails unless it exits with
# EXPECT_STATUS, its standard output contains EXPECT_OUTPUT and its standard
# error matches the regular expression EXPECT_ERROR (where given).
execute_process(COMMAND ${CHECKER} ${FILES}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE error)
if(NOT status STREQUAL EXPECT_STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_STATUS}\nstdout:\n${output}\nstderr:\n${error}")
endif()
if(DEFINED EXPECT_OUTPUT AND NOT output MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "standard output lacks '${EXPECT_OUTPUT}':\n${output}")
endif()
if(DEFINED EXPECT_ERROR AND NOT error MATCHES "${EXPECT_ERROR}")
  message(FATAL_ERROR "standard error does not match '${EXPECT_ERROR}':\n${error}")
endif()
message(STATUS "stdout:\n${output}stderr:\n${error}")
