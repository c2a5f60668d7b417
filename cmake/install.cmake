# Install rules for both programs and their documentation, and the packages:
# a ZIP folder on Windows (cpack -G ZIP in a build-win64 or build-win32
# folder), a Debian package elsewhere (below).
if(WIN32)
  # Everything in one folder, as Windows users unpack and run it: the two
  # programs, a README written for them, the manual pages as plain text,
  # the licence and the notices of the libraries linked into the programs,
  # and the example with its run.bat.  Text files get CR LF line ends, so
  # that any Windows editor shows them.
  install(TARGETS zereduv RUNTIME DESTINATION .)
  if(TARGET zereduv-inspect)
    install(TARGETS zereduv-inspect RUNTIME DESTINATION .)
  endif()
  set(_zereduv_zip_texts
      "docs/windows-run.txt=README.txt"
      "LICENSE=LICENSE.txt"
      "packaging/windows/NOTICES.txt=NOTICES.txt")
  foreach(pair IN LISTS _zereduv_zip_texts)
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 _from)
    list(GET pair 1 _to)
    file(READ ${CMAKE_SOURCE_DIR}/${_from} _text)
    string(REPLACE "\n" "\r\n" _text "${_text}")
    file(WRITE ${CMAKE_BINARY_DIR}/zip/${_to} "${_text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${CMAKE_SOURCE_DIR}/${_from})
    install(FILES ${CMAKE_BINARY_DIR}/zip/${_to} DESTINATION .)
  endforeach()
  # The manual pages, formatted by the build host's groff as plain text.
  find_program(ZEREDUV_GROFF groff)
  if(ZEREDUV_GROFF)
    foreach(page IN ITEMS zereduv zereduv-inspect)
      set(_txt ${CMAKE_BINARY_DIR}/zip/${page}.txt)
      add_custom_command(OUTPUT ${_txt}
        COMMAND sh -c "\"$0\" -t -man -Tutf8 -P-cbou \"$1\" | sed 's/$/\\r/' > \"$2\""
                ${ZEREDUV_GROFF} ${CMAKE_SOURCE_DIR}/man/${page}.1 ${_txt}
        DEPENDS ${CMAKE_SOURCE_DIR}/man/${page}.1 VERBATIM)
      list(APPEND _zereduv_man_texts ${_txt})
    endforeach()
    add_custom_target(zereduv_man_texts ALL DEPENDS ${_zereduv_man_texts})
    install(FILES ${_zereduv_man_texts} DESTINATION .)
  else()
    message(WARNING "groff not found: the ZIP will hold no manual pages")
  endif()
  # A version resource (product, version, licence) and the application
  # manifest (long paths, supported Windows versions) in each program.
  enable_language(RC)
  set(ZEREDUV_MANIFEST ${CMAKE_SOURCE_DIR}/packaging/windows/zereduv.manifest)
  foreach(prog IN ITEMS zereduv zereduv-inspect)
    if(NOT TARGET ${prog})
      continue()
    endif()
    set(ZEREDUV_RC_NAME ${prog})
    if(prog STREQUAL "zereduv")
      set(ZEREDUV_RC_DESCRIPTION "zereduv: 2-D RF cavity field table to 3-D field file")
    else()
      set(ZEREDUV_RC_DESCRIPTION "zereduv-inspect: reports on field tables and field files")
    endif()
    configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/version.rc.in
                   ${CMAKE_BINARY_DIR}/rc/${prog}.rc @ONLY)
    target_sources(${prog} PRIVATE ${CMAKE_BINARY_DIR}/rc/${prog}.rc)
    set_property(SOURCE ${CMAKE_BINARY_DIR}/rc/${prog}.rc
                 TARGET_DIRECTORY ${prog}
                 APPEND PROPERTY OBJECT_DEPENDS ${ZEREDUV_MANIFEST})
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/examples/pillbox/zereduv.dat
                ${CMAKE_SOURCE_DIR}/examples/pillbox/pillbox.txt
                ${CMAKE_SOURCE_DIR}/examples/pillbox/run.bat
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
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

# Install rules for both programs and their man pages, and a Debian package:
#   cpack --config build/CPackConfig.cmake -G DEB   ->  build/package/*.deb
include(GNUInstallDirs)

install(TARGETS zereduv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET zereduv-inspect)
  install(TARGETS zereduv-inspect RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Man pages and the changelog are installed compressed with gzip -9n (no
# name, no time stamp), as Debian packages carry them.
set(ZEREDUV_PKG_DIR ${CMAKE_SOURCE_DIR}/packaging)
# The contact is the project's own commit address, until it names another.
set(ZEREDUV_MAINTAINER
    "zereduv maintainers <maintainers@users.noreply.c-seed-d8e612a1.example>")
configure_file(${ZEREDUV_PKG_DIR}/changelog.in
               ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(ZEREDUV_GZ_FILES)
foreach(src IN ITEMS ${CMAKE_SOURCE_DIR}/man/zereduv.1
                     ${CMAKE_SOURCE_DIR}/man/zereduv-inspect.1
                     ${CMAKE_SOURCE_DIR}/man/zereduv-field.5
                     ${CMAKE_BINARY_DIR}/packaging/changelog)
  get_filename_component(name ${src} NAME)
  set(gz ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${src} ${gz}
    DEPENDS ${src} VERBATIM)
  list(APPEND ZEREDUV_GZ_FILES ${gz})
endforeach()
add_custom_target(zereduv_compressed_docs ALL DEPENDS ${ZEREDUV_GZ_FILES})

install(FILES ${CMAKE_BINARY_DIR}/packaging/zereduv.1.gz
              ${CMAKE_BINARY_DIR}/packaging/zereduv-inspect.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/zereduv-field.5.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES ${ZEREDUV_PKG_DIR}/copyright
              ${CMAKE_BINARY_DIR}/packaging/changelog.gz
              ${CMAKE_SOURCE_DIR}/README.md
              ${CMAKE_SOURCE_DIR}/docs/field-file.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/examples/pillbox/README.md
              ${CMAKE_SOURCE_DIR}/examples/pillbox/zereduv.dat
              ${CMAKE_SOURCE_DIR}/examples/pillbox/pillbox.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/pillbox)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "zereduv")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
set(CPACK_PACKAGE_CONTACT "${ZEREDUV_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Superfish 2-D RF cavity field tables to 3-D VELTA field files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"zereduv reads the text table of an axially symmetric RF cavity field that
the Superfish post-processor SF7 writes, completes a half map by mirror
symmetry, checks E and B against the Ampere-Maxwell law, resamples the
fields onto a 25 x 25 x 201 Cartesian grid and writes a VELTA field file.
zereduv-inspect reports on a field table or a field file before it is used.")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
# The library dependencies come from dpkg-shlibdeps, which needs the file
# utility; without it the package names them without versions.
find_program(ZEREDUV_FILE_UTILITY file)
if(ZEREDUV_FILE_UTILITY)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
include(CPack)
