# Runs the command under test once, as the end-to-end tests will, and fails
# when it cannot be run at all.
include(${CMAKE_CURRENT_LIST_DIR}/command_under_test.cmake)
message(STATUS "Program under test: ${command}")
# Too few arguments: the usage text and status 1, nothing done.
execute_process(COMMAND ${command} view RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "the program under test did not run (${status}):\n${out}${err}")
endif()
