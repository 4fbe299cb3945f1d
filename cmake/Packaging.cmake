# Installation in the standard places, and the Debian package built from it
# (cpack -G DEB in the build folder). The pictures and sounds are compiled into
# the program; the desktop entry, the AppStream metadata and the application
# icon in its sizes go where the desktop looks for them.
include(GNUInstallDirs)

set(ORVALO_METAINFO ${CMAKE_BINARY_DIR}/dist/com.quenlark.OrvaloPhone.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/dist/com.quenlark.OrvaloPhone.metainfo.xml.in ${ORVALO_METAINFO} @ONLY)

install(TARGETS orvalo-phone RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The program opens its SIP module from ../lib/orvalo-phone/ beside its own folder.
install(TARGETS orvalo-linphone LIBRARY DESTINATION lib/orvalo-phone)
install(FILES ${CMAKE_SOURCE_DIR}/dist/orvalo-phone.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORVALO_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(ORVALO_ICON_SIZES 16 24 32 48 64 128 256)
foreach(size ${ORVALO_ICON_SIZES})
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/128/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME orvalo-phone.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME orvalo-phone)
set(CPACK_PACKAGE_VENDOR Quenlark)
set(CPACK_PACKAGE_CONTACT "Quenlark <support@orvalo.test>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "softphone for the Orvalo Phone service")
set(CPACK_PACKAGE_DESCRIPTION "Orvalo Phone places and answers voice calls through the Orvalo Phone service,
with instant messages, presence, a buddy list and a call log. It opens sip:,
sips: and tel: links.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${ORVALO_WEB_PORTAL}/")
# The libraries the program and its module link come from dpkg-shlibdeps; liblinphone reads its
# grammars from linphone-common at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "linphone-common")
include(CPack)
