# Run by cpack after each generator: writes every .tar.gz and .zip it made
# again with its members in name order, all dated SOURCE_DATE_EPOCH, and in
# a .tar.gz owned by 0:0 with modes u+rw and go-w, so that the archive
# depends only on the files in it. Without SOURCE_DATE_EPOCH, or for a
# .tar.gz without GNU tar and gzip, the archive is left as cpack wrote it.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.tar\\.gz$")
    if(NOT CPACK_QORVELIX_TAR OR NOT CPACK_QORVELIX_GZIP)
      continue()
    endif()
  elseif(NOT package MATCHES "\\.zip$")
    continue()
  endif()

  get_filename_component(tree ${package} NAME)
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/reproducible/${tree})
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${tree})
  file(ARCHIVE_EXTRACT INPUT ${package} DESTINATION ${tree})

  if(package MATCHES "\\.tar\\.gz$")
    file(GLOB_RECURSE members LIST_DIRECTORIES true RELATIVE ${tree} ${tree}/*)
    list(SORT members)
    execute_process(COMMAND ${CPACK_QORVELIX_TAR} --format=gnu --mtime=@$ENV{SOURCE_DATE_EPOCH}
                            --owner=0 --group=0 --numeric-owner --mode=u+rw,go-w
                            -cf - --no-recursion ${members}
                    COMMAND ${CPACK_QORVELIX_GZIP} -9n
                    WORKING_DIRECTORY ${tree} OUTPUT_FILE ${package}
                    COMMAND_ERROR_IS_FATAL ANY)
  else()
    # Files only: each directory named would bring its members again.
    # cmake dates them SOURCE_DATE_EPOCH itself.
    file(GLOB_RECURSE members LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/*)
    list(SORT members)
    file(REMOVE ${package})
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${package} --format=zip -- ${members}
                    WORKING_DIRECTORY ${tree}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
