# The terminal program as a Debian package: `cpack -G DEB` in a build
# without sanitizers (build/term) makes norrik_VERSION_ARCH.deb of what
# `cmake --install` puts in place, under /usr. A sanitized program needs
# the sanitizers' run-time libraries and is several times slower, so a
# sanitized build makes no package at all.
if(NOT TARGET norrik OR NORRIK_SANITIZE)
  message(STATUS "No Debian package: it is made only in a build of the terminal program without sanitizers")
  return()
endif()

include(GNUInstallDirs)
# Debian wants the licence as the package's copyright file.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/norrik RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norrik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmora Software")
set(CPACK_PACKAGE_CONTACT "Velmora Software <norrik@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-to-one chat and popup messenger for terminals")
# The lines under the summary, wrapped as Debian wants; cpack indents them.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Norrik holds a text chat between two computers over one TCP connection"
  "on port 6374, and sends popup messages that open a box on the other side."
  "This is its program for terminals, full screen with ncurses; it talks"
  "with the Norrik program for Windows as with another copy of itself."
  "Its send command delivers one chat line or one popup message from a"
  "script.")
set(CPACK_PACKAGE_FILE_NAME norrik-${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.velmora.example/norrik/")
# The libraries the program links, as dpkg-shlibdeps finds their packages:
# the C library, ncursesw and libsodium (libsodium23, of libsodium-dev).
# dpkg-shlibdeps reads them from the program itself, so a library the link
# drops (--as-needed, with nothing of it used) would be missing here, and
# check_deb.sh says so.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# Makes the package and checks what a user gets from it.
add_test(NAME DebianPackage
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_deb.sh ${CMAKE_COMMAND} ${CMAKE_CPACK_COMMAND}
                 ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
