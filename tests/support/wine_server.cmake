# Keeps one Wine server up for a whole end-to-end run of the Windows program:
#   cmake -DACTION=start|stop [-DDEFAULT_COMMAND=PROGRAM] -P wine_server.cmake
# It does nothing unless the command under test runs under Wine; the prefix is
# the one WINEPREFIX names.
#
# A server that Wine starts by itself ends as soon as its last program does,
# and a program that connects just as it ends fails with "wine client error"
# lines on standard error. So "start" sets the prefix up completely and waits
# until the server of that setup has ended, then starts a server that stays
# until "stop" ends it, and has it start the prefix's background programs
# (services and the like) at once, holding no test's output streams.
include(${CMAKE_CURRENT_LIST_DIR}/command_under_test.cmake)
if(wine STREQUAL "")
  return()
endif()
if("$ENV{WINEPREFIX}" STREQUAL "")
  message(FATAL_ERROR "WINEPREFIX is not set: the run needs a Wine prefix of its own")
endif()
find_program(wine_path ${wine})
get_filename_component(wine_dir "${wine_path}" DIRECTORY)
find_program(WINESERVER wineserver HINTS ${wine_dir} PATHS /usr/lib/wine REQUIRED)
# The server and the prefix's background programs keep writing their messages,
# if any, to the log of the start.
set(log ${CMAKE_CURRENT_BINARY_DIR}/wine_server_${ACTION}.log)

# wine_step(WHAT COMMAND...): runs the command with its streams in the log and
# fails the script, showing the log, when it does not end with status 0.
function(wine_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status INPUT_FILE /dev/null OUTPUT_FILE ${log}
                  ERROR_FILE ${log})
  if(NOT status EQUAL 0)
    file(READ ${log} text)
    message(FATAL_ERROR "${what} failed (${status}): ${ARGN}\n${text}")
  endif()
endfunction()

if(ACTION STREQUAL "start")
  # A server left by a run cut short would keep the wait below from returning.
  execute_process(COMMAND ${WINESERVER} -k INPUT_FILE /dev/null OUTPUT_QUIET ERROR_QUIET)
  wine_step("waiting for the prefix's old server to end" ${WINESERVER} -w)
  message(STATUS "Setting up the Wine prefix $ENV{WINEPREFIX}")
  wine_step("setting up the Wine prefix" ${wine} wineboot --init)
  wine_step("waiting for the prefix's setup to end" ${WINESERVER} -w)
  wine_step("starting the Wine server" ${WINESERVER} -p)
  wine_step("starting the prefix's background programs" ${wine} cmd /c exit)
elseif(ACTION STREQUAL "stop")
  execute_process(COMMAND ${WINESERVER} -k RESULT_VARIABLE status INPUT_FILE /dev/null
                  OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "no Wine server was left to end: the one of the run ended early")
  endif()
  wine_step("waiting for the Wine server to end" ${WINESERVER} -w)
else()
  message(FATAL_ERROR "ACTION must be start or stop, not '${ACTION}'")
endif()
