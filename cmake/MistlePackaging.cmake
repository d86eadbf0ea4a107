# Installation and packages: the tool, its README, its licence and, on Linux, its manual page. The
# stand-in board libraries and the test programs have no install rules, so that an installed tool
# only ever finds the maker's libraries. Linux gets a Debian package, the Windows cross build a zip.
set(MISTLE_PACKAGE_MAINTAINER "mistle developers <mistle@example.org>"
    CACHE STRING "Maintainer of the Debian package, as 'Name <address>'")

if(WIN32)
    # A Windows zip unpacks into one folder holding the program, its README and its licence.
    install(TARGETS mistle RUNTIME DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
else()
    include(GNUInstallDirs)
    include(cmake/MistleDebianFiles.cmake)
    install(TARGETS mistle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${MISTLE_DEBIAN_COPYRIGHT}
                  ${MISTLE_DEBIAN_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES ${MISTLE_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME mistle)
endif()

set(CPACK_PACKAGE_NAME mistle)
set(CPACK_PACKAGE_VENDOR "The mistle developers")
set(CPACK_PACKAGE_CONTACT "${MISTLE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Maintenance tool for FPGA cards and their board-management microcontroller")
set(CPACK_PACKAGE_DESCRIPTION [[
mistle finds the FPGA cards of a host, picks one, and talks to the card's
board-management microcontroller through its 32-bit mailbox register: to the
application firmware (version, I2C transfers to and from files, the
elapsed-time counter, clock frequencies, FPGA self-reconfigure, a loop-back
test, an interactive console that decodes status records) or to the boot
loader (read, write and compare the microcontroller's flash).

The maker's board libraries, libtorvex.so and libtorvex3.so, are loaded when
the tool runs; they are not part of this package.
]])
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
# The build carries debugging information; the packages do not.
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_RELEASE ${MISTLE_DEBIAN_RELEASE})
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MISTLE_PACKAGE_MAINTAINER}")
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The run-time libraries the tool links against, as dpkg-shlibdeps finds them. The board
    # libraries are loaded by name when the tool runs and are no dependency of the package.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
        set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
    endif()
endif()
include(CPack)
