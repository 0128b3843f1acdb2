# SPDX-License-Identifier: MIT
# Debian package of everything installed: `cpack -G DEB` in a Release build folder gives
# rotavex_<version>_<arch>.deb with its library dependencies computed by dpkg-shlibdeps.
set(ROTAVEX_PACKAGE_MAINTAINER "The Rotavex developers <rotavex@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME rotavex)
set(CPACK_PACKAGE_VENDOR "The Rotavex developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Rotavex turns up to four players' spinning devices, each streaming its\n"
    "revolution times over a serial link, into a live scoreboard: current and\n"
    "best speed in rpm, speed bars, a running chart and a large display of the\n"
    "best speed of all. It offers a Speed game and a timed Strength game that\n"
    "adds up revolutions.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "${ROTAVEX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_PACKAGE_NAME rotavex)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ROTAVEX_PACKAGE_MAINTAINER}")
# Not "games": Debian keeps that section for packages whose programs live in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links (Qt's, among them HTTP server and WebSockets, and libqrencode)
# come into Depends from the program itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without a platform plugin Qt cannot open a window, and without the SQLite driver plugin the
# results are kept for one run only; no library links either plugin directly.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
# The announcer speaks with the offline flite engine, a plugin nothing links; without it the
# tones still sound and the program says the voice is missing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-speech-flite-plugin")

include(CPack)
