# Installation with the standard folders (GNUInstallDirs), for integrators and for the Debian
# package: the library with its SONAME, the headers of its two interfaces, a pkg-config file and
# a CMake package; the launcher and the emulator; the pictures and the icon in the data folder,
# where the installed programs find them; the desktop entry, the hicolor icons and the manual
# pages.
include(CMakePackageConfigHelpers)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(TAVLIN_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tavlin)
set(TAVLIN_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/tavlin)

# The headers the class interface and the flat interface include, kept in their folders since
# they include each other by folder.
set(TAVLIN_PUBLIC_HEADERS
  api/ZorTavlinApi.h
  device/ZorTavlinObj.h device/ZorTavlinListener.h device/ZorTavlinRecords.h
  infra/ZorConfiguration.h infra/ZorExport.h
  network/ZorCarteEth.h network/ZorDiscoverySink.h network/ZorRechercheAdresse.h
  network/ZorTavlinNetwork.h)
foreach(h ${TAVLIN_PUBLIC_HEADERS})
  get_filename_component(folder ${h} DIRECTORY)
  install(FILES ${CMAKE_SOURCE_DIR}/${h} DESTINATION ${TAVLIN_INCLUDE_DIR}/${folder})
endforeach()

install(TARGETS ZorTavlinDllCom EXPORT ZorTavlinDllComTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET tavlin-emu)
  install(TARGETS tavlin-emu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Paths relative to the file's own place, so that the same file serves a DESTDIR, /usr/local
# and the package's /usr.
file(RELATIVE_PATH TAVLIN_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_CURRENT_LIST_DIR}/ZorTavlinDllCom.pc.in
               ${CMAKE_BINARY_DIR}/packaging/ZorTavlinDllCom.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/ZorTavlinDllCom.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(TAVLIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZorTavlinDllCom)
install(EXPORT ZorTavlinDllComTargets NAMESPACE ZorTavlinDllCom:: DESTINATION ${TAVLIN_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZorTavlinDllComConfig.cmake.in
  ${CMAKE_BINARY_DIR}/packaging/ZorTavlinDllComConfig.cmake INSTALL_DESTINATION ${TAVLIN_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/packaging/ZorTavlinDllComConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/packaging/ZorTavlinDllComConfig.cmake
              ${CMAKE_BINARY_DIR}/packaging/ZorTavlinDllComConfigVersion.cmake
        DESTINATION ${TAVLIN_CMAKE_DIR})

# Pictures drawn at build time (bitmap/ and Tavlin.ico beside the programs).
install(DIRECTORY ${CMAKE_BINARY_DIR}/bitmap/ DESTINATION ${TAVLIN_DATA_DIR}/bitmap)
install(FILES ${CMAKE_BINARY_DIR}/Tavlin.ico DESTINATION ${TAVLIN_DATA_DIR})

# The launcher's icon at the usual theme sizes, drawn from the same artwork as Tavlin.ico.
set(TAVLIN_ICON_SIZES 16 24 32 48 64 128 256)
set(TAVLIN_ICONS_DIR ${CMAKE_BINARY_DIR}/packaging/icons)
set(icon_pngs)
foreach(size ${TAVLIN_ICON_SIZES})
  list(APPEND icon_pngs ${TAVLIN_ICONS_DIR}/${size}x${size}/apps/tavlin-controle.png)
endforeach()
add_custom_command(
  OUTPUT ${icon_pngs}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/icons.py --rsvg ${TAVLIN_RSVG_CONVERT}
          --out ${TAVLIN_ICONS_DIR} --name tavlin-controle ${TAVLIN_ICON_SIZES}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/icons.py ${CMAKE_SOURCE_DIR}/bitmap/pictures.py
          ${CMAKE_SOURCE_DIR}/bitmap/theme.py
  COMMENT "Drawing the launcher's icons"
  VERBATIM)

# Manual pages and the package's changelog, compressed as Debian wants them.
set(TAVLIN_MAN_PAGES ZorTavlinControle.1 tavlin-emu.1 tavlin-bridge.1)
set(gz_files)
foreach(page ${TAVLIN_MAN_PAGES} changelog)
  if(page STREQUAL changelog)
    set(src ${CMAKE_CURRENT_LIST_DIR}/changelog)
  else()
    set(src ${CMAKE_CURRENT_LIST_DIR}/man/${page})
  endif()
  set(gz ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND gzip -9nc ${src} > ${gz}
    DEPENDS ${src} VERBATIM)
  list(APPEND gz_files ${gz})
endforeach()
# The French manual pages, where man finds them for a French locale.
set(TAVLIN_MAN_PAGES_FR ZorTavlinControle.1 tavlin-emu.1 tavlin-bridge.1)
foreach(page ${TAVLIN_MAN_PAGES_FR})
  set(gz ${CMAKE_BINARY_DIR}/packaging/fr/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/fr
    COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/man/fr/${page} > ${gz}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/fr/${page} VERBATIM)
  list(APPEND gz_files ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man1)
endforeach()
add_custom_target(tavlin_install_files ALL DEPENDS ${icon_pngs} ${gz_files})
foreach(page ${TAVLIN_MAN_PAGES})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(DIRECTORY ${TAVLIN_ICONS_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavlin-controle.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Debian's place for them is named after the package.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavlin)

# The Debian package: its dependencies come from the libraries the programs link
# (dpkg-shlibdeps), and the library's own shlibs and ldconfig trigger are generated.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavlin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tavlin team <equipe@tavlin.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "software for Tavlin Ethernet I/O controllers")
set(CPACK_PACKAGE_DESCRIPTION
"Tavlin devices are small I/O controllers on the local Ethernet network.
This package holds the library libZorTavlinDllCom (device discovery,
readdressing, watching and commands, with a C++ class interface and a flat C
interface), the launcher ZorTavlinControle that lists the devices and opens
the chosen one's web page, the device emulator tavlin-emu, and tavlin bridge,
which puts the devices of a site on an MQTT broker (tavlin-bridge.service).")
# A package's files live under /usr; the programs find their data relative to their own folder
# and the pkg-config and CMake files are relative too, so one build serves both.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The library's cache is refreshed by dpkg's trigger once per transaction.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/triggers)
# The launcher opens the device's page through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_STRIP_FILES ON)
# cpack packages what the build made (tools/test.sh builds everything first) instead of
# building every test program again through "make preinstall".
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)

# The bridge as a service: its unit, and an example configuration that the administrator copies
# to /etc/tavlin/bridge.conf with the site's broker (the package writes nothing under /etc, so an
# upgrade never touches a site's settings).
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavlin-bridge.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/bridge.conf DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavlin/examples)
