# Installing the native Linux program (cmake --install) and its Debian
# package (cmake --build BUILD --target package), for the GTK build only.
#
# The tree follows the freedesktop.org and Debian layout under any prefix:
#   bin/mottler
#   libexec/xscreensaver/mottlescreen   the screensaver hack, where xscreensaver
#                                       looks for its hacks
#   share/xscreensaver/config/mottlescreen.xml   its options in xscreensaver's
#                                       settings
#   share/mottler/mottle.bmp            found by the program relative to itself
#   share/applications/ID.desktop       the menu entry
#   share/metainfo/ID.metainfo.xml      what software centres show
#   share/icons/hicolor/NxN/apps/ID.png the icon, made by assets/make_icon.sh
#   share/man/man1/mottler.1
#   share/doc/mottler/LICENSE
# The Debian package is that tree under /usr, with the files Debian wants in
# their Debian form (see deb_staging.cmake).
include(GNUInstallDirs)

set(MOTTLER_APP_ID io.github.mottler.mottler)
# The day of the release PROJECT_VERSION names; the changelog and the
# AppStream file list the same release, and the tests hold them to it.
set(MOTTLER_RELEASE_DATE 2026-12-08)
set(MOTTLER_PACKAGE_MAINTAINER "The MOTTLER developers <mottler@example.org>" CACHE STRING
    "Name <address> of the Debian package's maintainer")

set(packaging ${CMAKE_CURRENT_LIST_DIR})
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Only the program: the build's other targets (the draw-only variant and the
# frame counter for scripts/frame-bench.sh, the tests) stay in the build.
install(TARGETS mottler RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS mottlescreen RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(FILES ${packaging}/mottlescreen.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${PROJECT_SOURCE_DIR}/assets/mottle.bmp DESTINATION ${CMAKE_INSTALL_DATADIR}/mottler)
install(FILES ${packaging}/${MOTTLER_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/${MOTTLER_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/mottler-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${MOTTLER_APP_ID}.png)
endforeach()
configure_file(${packaging}/mottler.1.in ${PROJECT_BINARY_DIR}/packaging/mottler.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/mottler.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: mottler_VERSION_ARCH.deb, a native package (its version
# has no Debian revision: the project packages itself).
if(CMAKE_VERSION VERSION_LESS 3.19)
  message(WARNING "CMake ${CMAKE_VERSION} runs no scripts on a package's staging tree (3.19 "
          "does): the Debian package would lack its copyright file and changelog")
endif()
configure_file(${packaging}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mottler)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${MOTTLER_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A cross build's package is for the processor it builds for (arm64 with
# cmake/aarch64-linux-gnu.cmake), not the build machine's; dpkg-shlibdeps
# then finds that processor's libraries by their ELF kind.
if(CMAKE_CROSSCOMPILING)
  find_program(MOTTLER_DPKG_ARCHITECTURE dpkg-architecture REQUIRED)
  execute_process(COMMAND ${MOTTLER_DPKG_ARCHITECTURE} -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    message(FATAL_ERROR "No Debian architecture for ${CMAKE_LIBRARY_ARCHITECTURE}: set "
            "CMAKE_LIBRARY_ARCHITECTURE to the multiarch name in the toolchain file")
  endif()
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MOTTLER_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "24-bit bitmap that dissolves in a window")
set(CPACK_PACKAGE_DESCRIPTION
"MOTTLER opens a 24-bit bitmap picture in a window and lets it dissolve:
whenever the program has nothing else to do, every pixel inside the outer
border takes the colour of a random neighbour or keeps its own, generation
after generation, as fast as the machine allows. The colours creep into one
another and the picture slowly turns into drifting patches.
.
It starts with a bundled picture; a left click opens the file chooser to
pick another uncompressed 24-bit bitmap.
.
The package also holds mottlescreen, a hack for XScreenSaver that lets the
screen itself dissolve, or a chosen picture.")
# The hack runs under xscreensaver; the desktop program needs none.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
# The libraries the program links (GTK 3 among them), as dpkg-shlibdeps
# finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The message and the file chooser's title are Japanese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-japanese-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The Debian forms of the manual page, copyright and changelog, made in the
# package's staging tree, so that cmake --install keeps the plain ones.
set(CPACK_PRE_BUILD_SCRIPTS ${packaging}/deb_staging.cmake)
set(CPACK_MOTTLER_COPYRIGHT ${packaging}/copyright)
set(CPACK_MOTTLER_CHANGELOG ${PROJECT_BINARY_DIR}/packaging/changelog)
set(CPACK_MOTTLER_STRIP ${CMAKE_STRIP})
set(CPACK_MOTTLER_PROGRAMS ${CMAKE_INSTALL_BINDIR}/mottler ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver/mottlescreen)
set(CPACK_MOTTLER_MANDIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_MOTTLER_DOCDIR ${CMAKE_INSTALL_DOCDIR})
include(CPack)
