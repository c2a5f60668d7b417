# Install rules for both programs and their documentation, and the packages:
# a Debian package on Linux, a ZIP folder on Windows.
if(WIN32)
  # Everything in one folder, as Windows users unpack and run it: the two
  # programs, the README, a note on running them, and the example.
  install(TARGETS zereduv RUNTIME DESTINATION .)
  if(TARGET zereduv-inspect)
    install(TARGETS zereduv-inspect RUNTIME DESTINATION .)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
  # The note with CR LF line ends, so that any Windows editor shows it.
  file(READ ${CMAKE_SOURCE_DIR}/docs/windows-run.txt _zereduv_note)
  string(REPLACE "\n" "\r\n" _zereduv_note "${_zereduv_note}")
  file(WRITE ${CMAKE_BINARY_DIR}/RUN-ON-WINDOWS.txt "${_zereduv_note}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${CMAKE_SOURCE_DIR}/docs/windows-run.txt)
  install(FILES ${CMAKE_BINARY_DIR}/RUN-ON-WINDOWS.txt DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/examples/pillbox/zereduv.dat
                ${CMAKE_SOURCE_DIR}/examples/pillbox/pillbox.txt
                ${CMAKE_SOURCE_DIR}/examples/pillbox/README.md
          DESTINATION example)

  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ZEREDUV_WINDOWS_SUFFIX win64)
  else()
    set(ZEREDUV_WINDOWS_SUFFIX win32)
  endif()
  set(CPACK_GENERATOR "ZIP")
  set(CPACK_PACKAGE_NAME "zereduv")
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(CPACK_PACKAGE_FILE_NAME
      "zereduv-${PROJECT_VERSION}-${ZEREDUV_WINDOWS_SUFFIX}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

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
