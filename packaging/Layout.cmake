# Where the installed service keeps its files (Debian's places), known to the program so that
# it finds them when it runs from its installed place, and the unit hardening shared by the
# unit of the package and the units "FiscoraService install" writes.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Installation prefix" FORCE)
endif()
include(GNUInstallDirs)

set(FISCORA_INSTALLED_PROGRAM ${CMAKE_INSTALL_FULL_SBINDIR}/FiscoraService)
# The folders are those systemd gives a unit (ConfigurationDirectory=, LogsDirectory=,
# StateDirectory=, RuntimeDirectory=), whatever the prefix of the program.
set(FISCORA_CONFIGURATION_FOLDER /etc/fiscora)
set(FISCORA_LOG_FOLDER /var/log/fiscora)
set(FISCORA_STATE_FOLDER /var/lib/fiscora)
set(FISCORA_RUNTIME_FOLDER /run/fiscora)
# Where Debian 12 packages put their units.
set(FISCORA_UNIT_FOLDER /lib/systemd/system)

set_source_files_properties(${CMAKE_SOURCE_DIR}/src/service/ServicePaths.cpp PROPERTIES COMPILE_DEFINITIONS
    "FISCORA_INSTALLED_PROGRAM=\"${FISCORA_INSTALLED_PROGRAM}\";FISCORA_CONFIGURATION_FOLDER=\"${FISCORA_CONFIGURATION_FOLDER}\";FISCORA_LOG_FOLDER=\"${FISCORA_LOG_FOLDER}\";FISCORA_STATE_FOLDER=\"${FISCORA_STATE_FOLDER}\";FISCORA_RUNTIME_FOLDER=\"${FISCORA_RUNTIME_FOLDER}\"")

set(FISCORA_HARDENING_FILE ${CMAKE_SOURCE_DIR}/packaging/unit-hardening.conf)
file(READ ${FISCORA_HARDENING_FILE} FISCORA_UNIT_HARDENING)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${FISCORA_HARDENING_FILE})
configure_file(${CMAKE_SOURCE_DIR}/packaging/UnitHardening.cpp.in ${CMAKE_BINARY_DIR}/generated/UnitHardening.cpp
               @ONLY)
set(FISCORA_GENERATED_PLATFORM_SOURCES ${CMAKE_BINARY_DIR}/generated/UnitHardening.cpp)
