# Sets `command` to the command the end-to-end tests run (QORVELIX_TEST_COMMAND,
# split at spaces as the tests split it, or DEFAULT_COMMAND after the words of
# EMULATOR, which runs a cross build's program) and `wine` to its first word
# when that is Wine's loader, else to "".
if(DEFINED ENV{QORVELIX_TEST_COMMAND} AND NOT "$ENV{QORVELIX_TEST_COMMAND}" STREQUAL "")
  separate_arguments(command UNIX_COMMAND "$ENV{QORVELIX_TEST_COMMAND}")
else()
  separate_arguments(command UNIX_COMMAND "${EMULATOR}")
  list(APPEND command ${DEFAULT_COMMAND})
endif()
list(GET command 0 wine)
get_filename_component(first "${wine}" NAME)
if(NOT first MATCHES "^wine(64)?$")
  set(wine "")
endif()
