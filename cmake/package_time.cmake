# Read by cpack before each package is made: without SOURCE_DATE_EPOCH in
# the environment, the packages take the time of the commit being packaged,
# so that two builds of it give the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_QORVELIX_GIT)
  execute_process(COMMAND ${CPACK_QORVELIX_GIT} log -1 --format=%ct
                  WORKING_DIRECTORY ${CPACK_QORVELIX_SOURCE_DIR}
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE status)
  if(status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()
