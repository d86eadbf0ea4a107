# Installation and packages: the tool and its README, nothing else. The stand-in board libraries
# and the test programs have no install rules, so that an installed tool only ever finds the
# maker's libraries. Linux gets a Debian package, the Windows cross build a zip.
if(WIN32)
    # A Windows zip unpacks into one folder holding the program and its README.
    set(MISTLE_INSTALL_BINDIR .)
    set(MISTLE_INSTALL_DOCDIR .)
else()
    include(GNUInstallDirs)
    set(MISTLE_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
    set(MISTLE_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS mistle RUNTIME DESTINATION ${MISTLE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${MISTLE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME mistle)
set(CPACK_PACKAGE_VENDOR "mistle developers")
set(CPACK_PACKAGE_CONTACT "mistle developers <mistle@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Maintenance tool for FPGA cards and their board-management microcontroller")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
# The build carries debugging information; the packages do not.
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    # The run-time libraries the tool links against, as dpkg-shlibdeps finds them. The board
    # libraries are loaded by name when the tool runs and are no dependency of the package.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
        set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
    endif()
endif()
include(CPack)
