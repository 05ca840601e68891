# Installation layout and the Debian package (cpack -G DEB; scripts/package.sh drives it).
#
# Installed under /usr: the two executables, the report's preview window that quenvale-cli starts
# (in /usr/libexec/quenvale, as no one runs it by hand), the menu entry with its icons, the
# manual pages, the copyright and changelog, and /usr/share/quenvale/. That last folder matters: an executable
# in a folder named bin with ../share/quenvale beside it is an installed copy, which keeps each
# user's register in that user's data folder.

include(GNUInstallDirs)

set(QUENVALE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QUENVALE_GENERATED_DIR ${PROJECT_BINARY_DIR}/packaging)
set(QUENVALE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quenvale)

install(TARGETS quenvale quenvale-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# quenvale-cli looks for it at ../libexec/quenvale beside its own folder.
install(TARGETS quenvale-report-preview RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quenvale)
install(FILES ${QUENVALE_PACKAGING_DIR}/quenvale.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${QUENVALE_PACKAGING_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${QUENVALE_PACKAGING_DIR}/README.installed DESTINATION ${CMAKE_INSTALL_DATADIR}/quenvale
        RENAME README)
install(FILES ${QUENVALE_PACKAGING_DIR}/copyright DESTINATION ${QUENVALE_DOC_DIR})

# Manual pages and the changelog, gzipped as Debian wants them. quenvale-cli.1 is written from the
# built program's --help texts, so it lists every verb the program has.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
configure_file(${QUENVALE_PACKAGING_DIR}/changelog.in ${QUENVALE_GENERATED_DIR}/changelog @ONLY)
add_custom_command(
  OUTPUT ${QUENVALE_GENERATED_DIR}/quenvale-cli.1
  COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:quenvale-cli> -DVERSION=${PROJECT_VERSION}
          -DOUT=${QUENVALE_GENERATED_DIR}/quenvale-cli.1 -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  DEPENDS quenvale-cli ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  COMMENT "Writing the manual page quenvale-cli.1 from the --help texts"
  VERBATIM)
set(gzipped "")
foreach(pair "quenvale-cli.1|${QUENVALE_GENERATED_DIR}/quenvale-cli.1" "quenvale.1|${QUENVALE_PACKAGING_DIR}/quenvale.1"
             "changelog|${QUENVALE_GENERATED_DIR}/changelog")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 source)
  add_custom_command(
    OUTPUT ${QUENVALE_GENERATED_DIR}/${name}.gz
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${source} > ${QUENVALE_GENERATED_DIR}/${name}.gz
    DEPENDS ${source}
    VERBATIM)
  list(APPEND gzipped ${QUENVALE_GENERATED_DIR}/${name}.gz)
endforeach()
add_custom_target(quenvale_docs ALL DEPENDS ${gzipped})
install(FILES ${QUENVALE_GENERATED_DIR}/quenvale-cli.1.gz ${QUENVALE_GENERATED_DIR}/quenvale.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QUENVALE_GENERATED_DIR}/changelog.gz DESTINATION ${QUENVALE_DOC_DIR})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quenvale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quenvale developers")
set(CPACK_PACKAGE_CONTACT "Quenvale developers <quenvale@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quenvale_VERSION_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# What the program loads at run time beyond the libraries it links: the SQLite driver plugin, the
# Chinese translation of Qt's own texts, and the faces that stand in for 宋体, 楷体 and Arial
# (Liberation Sans from either package; where both are installed, as LibreOffice brings the second,
# fontconfig picks the second).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, qt6-translations-l10n, fonts-arphic-uming, fonts-arphic-ukai, fonts-liberation | fonts-liberation2")
# The PostgreSQL driver, for registers kept on a server.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "community questionnaire register (Quenvale社区管理信息系统)")
# The synopsis above is the first line; CPack indents these lines and marks the blank one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop register for one fixed community questionnaire, used by community
and sub-district offices: staff type in one questionnaire per resident, find
it again by identity number to show, change or delete it, count the answers
option by option and print the specialty report. The user interface is
Simplified Chinese.

The package holds the desktop program (quenvale, in the Office menu) and
quenvale-cli, which renders the report and does other work without a window.
Each user keeps their own register in their data folder.")
include(CPack)

# The package test: builds the package from this build tree with cpack and checks it (skipped
# where dpkg-deb is missing).
if(QUENVALE_BUILD_TESTS)
  add_test(NAME packaging/package_test
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/package_test.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(packaging/package_test PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
