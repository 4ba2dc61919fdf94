# Renders the manual page as plain text for systems without man, or checks
# the page and its committed rendering.
#
#   cmake -DGROFF=groff -DPAGE=doc/qorvelix.1 -DTEXT=doc/qorvelix.txt
#         [-DCHECK=ON] -P cmake/manual.cmake
#
# Without CHECK the rendering is written to TEXT. With CHECK the page must
# render without a warning and TEXT must be its current rendering.
if(NOT GROFF)
  message("groff not found: the manual page was not checked")
  return()
endif()

execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${PAGE}
                OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  message(FATAL_ERROR "groff could not render ${PAGE}:\n${errors}")
endif()
# Runs of empty lines, at the top of the page in particular, become one.
string(REGEX REPLACE "\n\n\n+" "\n\n" text "${text}")
string(REGEX REPLACE "^\n+" "" text "${text}")
string(REGEX REPLACE "\n+$" "\n" text "${text}")

if(NOT CHECK)
  file(WRITE ${TEXT} "${text}")
  message(STATUS "Wrote ${TEXT}")
  return()
endif()

# Every warning groff knows of, as man would meet them on a UTF-8 terminal.
execute_process(COMMAND ${GROFF} -man -Tutf8 -ww -z ${PAGE}
                ERROR_VARIABLE warnings RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "${PAGE} does not render cleanly:\n${warnings}")
endif()

file(READ ${TEXT} committed)
if(NOT committed STREQUAL text)
  message(FATAL_ERROR "${TEXT} is not the current rendering of ${PAGE}; "
                      "run: cmake --build build/default --target manual_text")
endif()
