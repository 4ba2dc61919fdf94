# Runs the command under test once, as the end-to-end tests will, and fails
# when it cannot be run at all. What it prints is not judged: under Wine a
# new prefix is set up during this run.
if(DEFINED ENV{QORVELIX_TEST_COMMAND} AND NOT "$ENV{QORVELIX_TEST_COMMAND}" STREQUAL "")
  separate_arguments(command UNIX_COMMAND "$ENV{QORVELIX_TEST_COMMAND}")
else()
  # A cross build runs its program through the emulator.
  separate_arguments(command UNIX_COMMAND "${EMULATOR}")
  list(APPEND command ${DEFAULT_COMMAND})
endif()
message(STATUS "Program under test: ${command}")
# Under Wine, start the prefix's server first and keep it for a minute after
# its last client: with the default few seconds, a test that starts just as
# the server shuts down gets "wine client error" lines on standard error.
list(GET command 0 first)
get_filename_component(first "${first}" NAME)
if(first MATCHES "^wine(64)?$")
  find_program(WINESERVER wineserver PATHS /usr/lib/wine)
  if(WINESERVER)
    execute_process(COMMAND ${WINESERVER} -p60 INPUT_FILE /dev/null OUTPUT_FILE /dev/null
                    ERROR_FILE /dev/null)
  endif()
endif()
# Too few arguments: the usage text and status 0.
execute_process(COMMAND ${command} view RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the program under test did not run (${status}):\n${out}${err}")
endif()
