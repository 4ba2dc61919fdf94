# Where an install puts the program and its documents, and the packages made
# from an install.
include(GNUInstallDirs)

if(WIN32)
  # A Windows package is one folder: the program, its documents and the
  # examples side by side.
  set(QORVELIX_BIN_DESTINATION .)
  set(QORVELIX_DOC_DESTINATION .)
else()
  set(QORVELIX_BIN_DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(QORVELIX_DOC_DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
set(QORVELIX_EXAMPLES_DESTINATION ${QORVELIX_DOC_DESTINATION}/examples)

install(TARGETS qorvelix RUNTIME DESTINATION ${QORVELIX_BIN_DESTINATION})
install(FILES README.md LICENSE DESTINATION ${QORVELIX_DOC_DESTINATION})
# The manual is installed by doc/, the examples by examples/.

# The maintainer is a role, not a person.
set(QORVELIX_MAINTAINER "qorvelix maintainers <maintainers@qorvelix.invalid>")

# qorvelix_gzip(SOURCE GZ): writes SOURCE compressed to GZ as Debian wants
# it (best compression, no name or time inside, so the same bytes on every
# build), again whenever SOURCE changes. Without gzip GZ is not written and
# QORVELIX_GZIP is false.
find_program(QORVELIX_GZIP gzip)
function(qorvelix_gzip source gz)
  if(QORVELIX_GZIP)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    execute_process(COMMAND ${QORVELIX_GZIP} -9n -c ${source} OUTPUT_FILE ${gz}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
endfunction()

if(NOT WIN32)
  install(FILES completion/qorvelix DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  # The licence again as a machine-readable Debian copyright file, and the
  # release history, where Debian tools look for them.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(FIND "${license}" "Permission is" notice_start)
  string(SUBSTRING "${license}" ${notice_start} -1 license)
  string(STRIP "${license}" license)
  string(REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " license "${license}")
  set(QORVELIX_LICENSE_TEXT " ${license}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${QORVELIX_DOC_DESTINATION})
  # A new version needs its entry in the history before it is packaged.
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog latest LIMIT_COUNT 1)
  if(NOT latest MATCHES "^qorvelix \\(${PROJECT_VERSION}\\) ")
    message(SEND_ERROR "cmake/debian/changelog: the latest entry is not for version "
                       "${PROJECT_VERSION}, add one at the top")
  endif()
  qorvelix_gzip(${PROJECT_SOURCE_DIR}/cmake/debian/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  if(QORVELIX_GZIP)
    install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${QORVELIX_DOC_DESTINATION})
  endif()
endif()

set(CPACK_PACKAGE_NAME qorvelix)
set(CPACK_PACKAGE_VENDOR "the qorvelix authors")
set(CPACK_PACKAGE_CONTACT "${QORVELIX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "qorvelix builds ADPCM sample banks in the PPC format from a tone
list that names, for each tone number, a plain PCM file or a tone of an
existing bank, and prints the header word and tone table of a bank.
Tone data is copied byte for byte.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# A cross build's packages carry the target's architecture, set by its
# toolchain file; dpkg-shlibdeps knows only this machine's libraries then.
if(CMAKE_CROSSCOMPILING AND QORVELIX_DEB_ARCHITECTURE)
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${QORVELIX_DEB_ARCHITECTURE})
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${QORVELIX_DEB_ARCHITECTURE})
  set(QORVELIX_DPKG_SHLIBDEPS OFF)
else()
  find_program(QORVELIX_DPKG_SHLIBDEPS dpkg-shlibdeps)
endif()
if(QORVELIX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

# Packages of one commit are the same bytes wherever and whenever they are
# made: every time stamp is the commit's (SOURCE_DATE_EPOCH, which a caller
# may also set), and the archives are written again in name order with
# fixed owner and modes.
set(CPACK_QORVELIX_SOURCE_DIR ${PROJECT_SOURCE_DIR})
find_program(CPACK_QORVELIX_GIT git)
find_program(CPACK_QORVELIX_TAR NAMES gtar tar)
if(CPACK_QORVELIX_TAR)
  # Only GNU tar knows the options that fix owner and modes.
  execute_process(COMMAND ${CPACK_QORVELIX_TAR} --version OUTPUT_VARIABLE tar_version ERROR_QUIET)
  if(NOT tar_version MATCHES "GNU tar")
    set(CPACK_QORVELIX_TAR "")
  endif()
endif()
set(CPACK_QORVELIX_GZIP ${QORVELIX_GZIP})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_time.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/reproducible_archive.cmake)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
