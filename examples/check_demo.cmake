# Checks, without a word when all is well, the bank the demo built last:
# viewing it must show tone 10 (taken from the drum kit) and no error or
# warning line.
#
#   cmake -DQORVELIX=path/to/qorvelix [-DEMULATOR="qemu-... -L ..."] -DBANK=DEMO.PPC -P check_demo.cmake
#
# EMULATOR, words separated by spaces, runs the program of a cross build.
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
execute_process(COMMAND ${emulator} ${QORVELIX} view ${BANK} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out MATCHES "PCM Tone  10" OR "${out}${err}" MATCHES "(^|\n)[EW] ")
  message(FATAL_ERROR "The demo failed: ${BANK} is missing or not the bank it should be "
                      "(see the lines above).")
endif()
