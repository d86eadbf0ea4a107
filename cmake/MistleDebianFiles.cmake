# The files a Debian system expects beside a program: the licence as a machine-readable copyright
# file, the package's changelog and the manual page, both compressed as the distribution does it
# (gzip -9n: the most compression and no time stamp, so that two builds give the same bytes).
set(MISTLE_DEBIAN_RELEASE 1)
set(MISTLE_DEBIAN_VERSION ${PROJECT_VERSION}-${MISTLE_DEBIAN_RELEASE})

# The copyright file carries the licence's conditions, each line indented by one space and each
# empty line written as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "^.*\n(Redistribution )" "\\1" licence "${licence}")
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " MISTLE_LICENSE_TEXT " ${licence}")
set(MISTLE_DEBIAN_COPYRIGHT ${CMAKE_BINARY_DIR}/debian/copyright)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${MISTLE_DEBIAN_COPYRIGHT} @ONLY)

find_program(MISTLE_GZIP gzip REQUIRED)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog.Debian
               @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/mistle.1 ${CMAKE_BINARY_DIR}/debian/mistle.1 COPYONLY)
set(MISTLE_DEBIAN_CHANGELOG ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
set(MISTLE_MANUAL_PAGE ${CMAKE_BINARY_DIR}/debian/mistle.1.gz)
foreach(compressed ${MISTLE_DEBIAN_CHANGELOG} ${MISTLE_MANUAL_PAGE})
    string(REGEX REPLACE "\\.gz$" "" plain ${compressed})
    add_custom_command(OUTPUT ${compressed} COMMAND ${MISTLE_GZIP} -9nkf ${plain} DEPENDS ${plain})
endforeach()
add_custom_target(mistle_debian_files ALL DEPENDS ${MISTLE_DEBIAN_CHANGELOG} ${MISTLE_MANUAL_PAGE})
# What the install takes comes with the tool, so that it can be installed once the tool is built.
add_dependencies(mistle mistle_debian_files)
