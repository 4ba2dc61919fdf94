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

set(CPACK_PACKAGE_NAME qorvelix)
set(CPACK_PACKAGE_VENDOR "qorvelix developers")
set(CPACK_PACKAGE_CONTACT "qorvelix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "qorvelix builds ADPCM sample banks in the PPC format from a tone list and prints the tone table of a bank.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
find_program(QORVELIX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QORVELIX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

include(CPack)
