# Installation layout and the Debian package.
include(GNUInstallDirs)

set(vindle_programs qarv-vindle-scan qarv-printer-sim)
if(VINDLE_BUILD_GUI)
    list(PREPEND vindle_programs qarv-vindle)
endif()
install(TARGETS ${vindle_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(program IN LISTS vindle_programs)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/man/${program}.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

if(VINDLE_BUILD_GUI)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/qarv-vindle.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    foreach(size 16 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/qarv-vindle.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qarv-vindle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Qarv Vindle developers <dev@qarv.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds the network printers of a LAN and opens their web pages")
set(CPACK_PACKAGE_DESCRIPTION
    "Qarv Vindle LAN Setup Utility finds a product line's network printers on the local\n network over a small UDP protocol and lists each one's IP address, MAC address, model\n number and serial number. The package holds the desktop utility, a command-line\n scanner and a printer simulator for trying them out.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
