# `cmake --install` puts Quarnel where a desktop finds it (GNUInstallDirs), and CPack makes
# a Debian package of the same tree.
set(quarnel_share ${CMAKE_INSTALL_DATADIR}/quarnel)

install(TARGETS quarnel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quarnel-mdb-reader RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quarnel)
install(FILES ${CMAKE_BINARY_DIR}/adresar.mdb DESTINATION ${quarnel_share})
install(FILES ${CMAKE_SOURCE_DIR}/resources/help/quarnel.htm DESTINATION ${quarnel_share}/help/velorin)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/cz.korvi.Quarnel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/cz.korvi.Quarnel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/cz.korvi.Quarnel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page in English and Czech, converted from its scdoc source at build time.
find_program(SCDOC scdoc)
if(SCDOC)
  foreach(page IN ITEMS "quarnel.1.scd;man1" "quarnel.cs.1.scd;cs/man1")
    list(GET page 0 source)
    list(GET page 1 section)
    string(REPLACE "/" "_" stem ${section})
    set(out ${CMAKE_BINARY_DIR}/man/${stem}/quarnel.1)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/${stem}
      COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_CURRENT_LIST_DIR}/${source} -DOUT=${out}
              -P ${CMAKE_CURRENT_LIST_DIR}/scdoc.cmake
      DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${source} ${CMAKE_CURRENT_LIST_DIR}/scdoc.cmake
      COMMENT "Converting the manual page ${source}")
    list(APPEND quarnel_man_pages ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/${section})
  endforeach()
  add_custom_target(manual_pages ALL DEPENDS ${quarnel_man_pages})
else()
  message(WARNING "scdoc not found: the manual pages are not built (./scripts/install-deps installs it)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarnel)
set(CPACK_PACKAGE_VENDOR Korvi)
set(CPACK_PACKAGE_CONTACT "Korvi <quarnel@korvi.cz>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-only database browser that speaks and writes to Braille")
set(CPACK_PACKAGE_DESCRIPTION
    "Quarnel opens a database (its own SQLite files, Access files, ODBC sources) and shows one
table or query as a grid of records or as a form of one record, for blind and partially
sighted users: everything it shows is spoken and written to a Braille line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Speech and Braille reach the user through these; without them Quarnel runs silent.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher, brltty, odbc-postgresql, libsqliteodbc")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
