# Installation layout and the Debian package.
include(GNUInstallDirs)

set(vindle_programs qarv-vindle-scan qarv-printer-sim)
if(VINDLE_BUILD_GUI)
    list(PREPEND vindle_programs qarv-vindle)
endif()
install(TARGETS ${vindle_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages and the changelog are installed compressed, as Debian's policy asks.
set(compressed_man_pages)
foreach(program IN LISTS vindle_programs)
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${program}.1)
    set(compressed ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
    add_custom_command(OUTPUT ${compressed}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
                       COMMAND gzip -9 -n -c ${source} > ${compressed}
                       DEPENDS ${source} VERBATIM)
    list(APPEND compressed_man_pages ${compressed})
endforeach()
set(compressed_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${compressed_changelog}
                   COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/docs/debian/changelog
                           > ${compressed_changelog}
                   DEPENDS ${PROJECT_SOURCE_DIR}/docs/debian/changelog VERBATIM)
add_custom_target(compressed_docs ALL DEPENDS ${compressed_man_pages} ${compressed_changelog})
install(FILES ${compressed_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${compressed_changelog} ${PROJECT_SOURCE_DIR}/docs/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qarv-vindle)

install(FILES ${PROJECT_SOURCE_DIR}/tools/scan/qarv-vindle-scan.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME qarv-vindle-scan)

if(VINDLE_BUILD_GUI)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/qarv-vindle.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/invalid.qarv.vindle.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/qarv_vindle_${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME qarv-vindle.png)
    endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qarv-vindle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Qarv Vindle developers <dev@qarv.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds the network printers of a LAN and opens their web pages")
set(CPACK_PACKAGE_DESCRIPTION
    "Qarv Vindle LAN Setup Utility finds a product line's network printers on\n the local network over a small UDP protocol and lists each one's IP address,\n MAC address, model number and serial number. The package holds the desktop\n utility, a command-line scanner and a printer simulator to try them out.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
