# What `cmake --install` puts on a system, and the Debian package CPack makes of it.
include(GNUInstallDirs)

if(TARGET tandro-sync)
  install(TARGETS tandro-sync RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/man/tandro-sync.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(TARGET tandro)
  install(TARGETS tandro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/man/tandro.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES resources/com.velmoro.Tandro.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES resources/com.velmoro.Tandro.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 16 32 48 64 128 256)
    install(FILES resources/tandro-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME tandro.png)
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tandro)
set(CPACK_PACKAGE_VENDOR "${TANDRO_TRADEMARKS}")
set(CPACK_PACKAGE_VERSION "${TANDRO_VERSION_TEXT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keeps a folder and a removable drive in step")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Tandro keeps one folder tree on the local disk and one on a removable drive in step: "
       "it copies what is new or changed on either side, asks before it deletes a local file "
       "and asks which side wins when both changed. A Qt desktop program with a Japanese "
       "user interface, and tandro-sync for the terminal.")
set(CPACK_PACKAGE_CONTACT "Velmoro <tandro@velmoro.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-noto-cjk)
set(CPACK_STRIP_FILES ON)
include(CPack)
