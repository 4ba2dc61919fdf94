# Runs the command under test once, as the end-to-end tests will, and fails
# when it cannot be run at all. What it prints is not judged: under Wine a
# new prefix is set up during this run.
if(DEFINED ENV{QORVELIX_TEST_COMMAND} AND NOT "$ENV{QORVELIX_TEST_COMMAND}" STREQUAL "")
  separate_arguments(command UNIX_COMMAND "$ENV{QORVELIX_TEST_COMMAND}")
else()
  set(command ${DEFAULT_COMMAND})
endif()
message(STATUS "Program under test: ${command}")
# Too few arguments: the usage text and status 0.
execute_process(COMMAND ${command} view RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the program under test did not run (${status}):\n${out}${err}")
endif()
