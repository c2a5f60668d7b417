# Install rules for both programs and their man pages, and a Debian package.
include(GNUInstallDirs)

install(TARGETS zereduv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET zereduv-inspect)
  install(TARGETS zereduv-inspect RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/man/zereduv.1
              ${CMAKE_SOURCE_DIR}/man/zereduv-inspect.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "zereduv")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "zereduv maintainers <zereduv@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Superfish 2-D RF cavity field tables to 3-D VELTA field files")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
