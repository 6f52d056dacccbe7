# The Windows build: the libraries that Linux takes from Debian's packages are compiled here from
# Debian's own sources (scripts/windows.sh sources fetches them into FISCORA_THIRD_PARTY_DIR), and
# ODBC, sockets, COM and the service manager are Windows' own. Everything links statically, so
# FiscoraService.exe and LGXClient.dll need nothing beside them but Windows.
set(FISCORA_THIRD_PARTY_DIR ${CMAKE_SOURCE_DIR}/build/third_party CACHE PATH
    "Debian's sources of pugixml, SQLite (with its sqlite3.c) and GoogleTest")
file(GLOB PUGIXML_DIR LIST_DIRECTORIES true ${FISCORA_THIRD_PARTY_DIR}/pugixml-*/src)
if(NOT EXISTS ${FISCORA_THIRD_PARTY_DIR}/sqlite3/sqlite3.c OR NOT PUGIXML_DIR)
    message(FATAL_ERROR "Debian's sources are missing in ${FISCORA_THIRD_PARTY_DIR}: run scripts/windows.sh sources")
endif()

# Windows 7 and later: inet_pton, GetTickCount64 and the like.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 __USE_MINGW_ANSI_STDIO=1)
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
# va_list of the 64-bit Windows ABI carries an attribute that a template argument drops: harmless.
add_compile_options(-Wno-ignored-attributes)

add_library(fiscora_pugixml STATIC ${PUGIXML_DIR}/pugixml.cpp)
target_include_directories(fiscora_pugixml SYSTEM PUBLIC ${PUGIXML_DIR})
target_compile_options(fiscora_pugixml PRIVATE -w)
add_library(PkgConfig::PUGIXML ALIAS fiscora_pugixml)

add_library(fiscora_sqlite3 STATIC ${FISCORA_THIRD_PARTY_DIR}/sqlite3/sqlite3.c)
target_include_directories(fiscora_sqlite3 SYSTEM PUBLIC ${FISCORA_THIRD_PARTY_DIR}/sqlite3)
target_compile_definitions(fiscora_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION)
target_compile_options(fiscora_sqlite3 PRIVATE -w)
add_library(PkgConfig::SQLITE3 ALIAS fiscora_sqlite3)

add_library(fiscora_windows_odbc INTERFACE)
target_link_libraries(fiscora_windows_odbc INTERFACE odbc32)
add_library(PkgConfig::ODBC ALIAS fiscora_windows_odbc)

# What the platform layer calls: sockets, the service manager, message boxes, COM.
set(FISCORA_SYSTEM_LIBRARIES ws2_32 advapi32 user32 ole32)

if(FISCORA_TESTS)
    # GoogleTest from the sources the googletest package installs.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(library gtest gtest_main gmock gmock_main)
        target_compile_options(${library} PRIVATE -w)
        if(NOT TARGET GTest::${library})
            add_library(GTest::${library} ALIAS ${library})
        endif()
    endforeach()
    # find_package(GTest) finds the targets above.
    file(WRITE ${CMAKE_BINARY_DIR}/gtest-config/GTestConfig.cmake "# GoogleTest is built in this tree.\n")
    set(GTest_DIR ${CMAKE_BINARY_DIR}/gtest-config CACHE PATH "" FORCE)
    set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
endif()

# String resource 1 holds the version text of the service.
set(FISCORA_SERVICE_RESOURCES ${CMAKE_SOURCE_DIR}/src/service/FiscoraService.rc)
