# The Debian package.

install(TARGETS vantrell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/beside-program/ DESTINATION ${VANTRELL_DATA_DESTINATION})
install(FILES vantrell.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Marrowfen)
set(CPACK_PACKAGE_CONTACT ${VANTRELL_SUPPORT_ADDRESS})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Changes the letter case of one field of a SQL Server table")
set(CPACK_PACKAGE_DESCRIPTION "\
Vantrell rewrites every value of one text field of one table of a Microsoft\n\
SQL Server database in UPPER CASE, lower case, Proper Case or Sentence case,\n\
from a window with a preview of the field's values, or from the command line\n\
(vantrell --batch). It connects through ODBC with FreeTDS's driver.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Marrowfen <${VANTRELL_SUPPORT_ADDRESS}>")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
if(VANTRELL_HOME_PAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VANTRELL_HOME_PAGE})
endif()
# The libraries the program links, found by dpkg-shlibdeps; then the ODBC driver
# manager, its odbcinst tool (used by postinst) and FreeTDS's ODBC driver.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows are laid out for Arial, whose metrics Liberation Sans keeps (a
# bare system would cut their labels); opening the help picture and the home
# page needs the desktop's opener.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, odbcinst, tdsodbc, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# postinst registers FreeTDS as the ODBC driver "SQL Server" as scripts/register-driver
# does; postrm takes back what postinst added, and only that.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
                                       ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
