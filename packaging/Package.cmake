# What "cmake --install" puts where, and the Debian package built from it (scripts/package.sh):
# the program, the client library it loads, the SQL scripts, the sample configuration, the
# systemd unit and the operator's guide. The places are those of packaging/Layout.cmake.

set(FISCORA_PRIVATE_LIBRARY_FOLDER lib/fiscora)
# The service loads libLGXClient.so by its bare name; from /usr/sbin the loader finds it here.
set_target_properties(FiscoraService PROPERTIES INSTALL_RPATH "$ORIGIN/../${FISCORA_PRIVATE_LIBRARY_FOLDER}")
install(TARGETS FiscoraService RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
if(TARGET LGXClient)
    install(TARGETS LGXClient LIBRARY DESTINATION ${FISCORA_PRIVATE_LIBRARY_FOLDER})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/sql/ DESTINATION ${CMAKE_INSTALL_DATADIR}/fiscora/sql)
set(FISCORA_DOC_FOLDER ${CMAKE_INSTALL_DATADIR}/doc/fiscora)
install(FILES ${CMAKE_SOURCE_DIR}/demo/VuvovaZododAVU.xml DESTINATION ${FISCORA_DOC_FOLDER}/examples)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/operations.md DESTINATION ${FISCORA_DOC_FOLDER})

# The unit of the installed program, with the hardening every unit of the service carries.
configure_file(${CMAKE_SOURCE_DIR}/packaging/qel-fiscal-service.service.in
               ${CMAKE_BINARY_DIR}/packaging/qel-fiscal-service.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/qel-fiscal-service.service DESTINATION ${FISCORA_UNIT_FOLDER})

# The configuration the administrator edits, and the environment of the unit (the Oracle
# client's variables); both are conffiles of the package. The configuration holds the database
# password: readable by root and the service's group only (the group is set by postinst).
install(FILES ${CMAKE_SOURCE_DIR}/demo/VuvovaZododAVU.xml DESTINATION ${FISCORA_CONFIGURATION_FOLDER}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/default/fiscora DESTINATION /etc/default)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fiscora)
set(CPACK_PACKAGE_VERSION 5.09.56)
set(CPACK_PACKAGE_VENDOR Fiscora)
set(CPACK_PACKAGE_CONTACT "Fiscora operations <fiscora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fiscalisation service for hotels (QEL Fiscal Service)")
set(CPACK_PACKAGE_DESCRIPTION
    "Registers the sales and payments of an Opera or Suite8 property on fiscal printers and keeps their status in the PMS database.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# odbcinst: the driver registry the Oracle ODBC driver is entered in; adduser for the system user.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, unixodbc, odbcinst")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd")
set(CPACK_STRIP_FILES ON)
configure_file(${CMAKE_SOURCE_DIR}/packaging/conffiles.in ${CMAKE_BINARY_DIR}/packaging/conffiles @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/packaging/conffiles ${CMAKE_SOURCE_DIR}/packaging/postinst
    ${CMAKE_SOURCE_DIR}/packaging/prerm ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
