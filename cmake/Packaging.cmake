# Installation as a desktop program and the Debian package built from it.
# `cmake --install` puts the program and its tools in bin/, the desktop entry
# and icon where desktop environments look for them, and the manual pages;
# `cpack -G DEB` wraps the same tree, with its dependencies computed from the
# shared libraries the executables load (dpkg-shlibdeps), so the package names
# exactly the Debian libraries it was built against.
include(GNUInstallDirs)
# Installing (and cpack) builds only what it installs, not every test.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(ORVANE_INSTALLED_PROGRAMS orvane)
foreach(tool orvane-settings orvane-probe orvane-sync)
    if(TARGET ${tool})
        list(APPEND ORVANE_INSTALLED_PROGRAMS ${tool})
    endif()
endforeach()
install(TARGETS ${ORVANE_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES packaging/orvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES src/resources/icons/orvane.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(ORVANE_CHANGELOG ${PROJECT_BINARY_DIR}/changelog.gz)

# Manual pages are installed compressed, as Debian policy asks; one page per
# installed program whose page exists.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
foreach(program ${ORVANE_INSTALLED_PROGRAMS})
    set(page ${PROJECT_SOURCE_DIR}/packaging/man/${program}.1)
    if(NOT EXISTS ${page})
        continue()
    endif()
    set(compressed ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${GZIP_EXECUTABLE} -9nc ${page} > ${compressed}
        DEPENDS ${page} VERBATIM)
    list(APPEND ORVANE_MAN_PAGES ${compressed})
endforeach()
add_custom_command(OUTPUT ${ORVANE_CHANGELOG}
    COMMAND ${GZIP_EXECUTABLE} -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${ORVANE_CHANGELOG}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(orvane_man_pages ALL DEPENDS ${ORVANE_MAN_PAGES} ${ORVANE_CHANGELOG})
install(FILES ${ORVANE_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${ORVANE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Orvane contributors")
set(CPACK_PACKAGE_CONTACT "Orvane contributors <orvane@orvane.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://orvane.example.org")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "keep directory user attributes in step with spreadsheet workbooks")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvane lists the user accounts of an Active Directory (reached over LDAP),\n\
finds each user's rows in registered spreadsheet workbooks, shows the\n\
workbook's prepared values beside the directory's with every difference\n\
marked, and writes the differences after the administrator confirms.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system plugin at run time, so dpkg-shlibdeps cannot see
# it; Kerberos logon ("current credentials") needs the GSSAPI SASL module.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsasl2-modules-gssapi-mit")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
