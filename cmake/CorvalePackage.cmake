# `cpack -G DEB` in the build folder makes corvale_VERSION_ARCH.deb of everything installed,
# under /usr, with the shared-library dependencies computed by dpkg-shlibdeps.
set(CORVALE_PACKAGE_MAINTAINER "Corvale maintainers <corvale@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME corvale)
set(CPACK_PACKAGE_VENDOR "The Corvale developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${CORVALE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find, play and download songs from an MP3 search service")
# One line of the extended description each: Debian wants them under 80 characters.
set(description_lines
    "Corvale searches an MP3 search service for songs by singer, title or file"
    "type, and reads its singer and song charts. It plays the chosen songs online"
    "through a generated player page, downloads them three files at a time over"
    "five ranged connections each, and makes music greeting card pages. The user"
    "interface is in Simplified Chinese."
    "."
    "The package also holds corvale-demo-service, a local stand-in for the search,"
    "chart and media services, to try the program without the network.")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION ${description_lines})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://corvale.github.io/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CORVALE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the X11 platform plugin and Qt's own
# texts in Chinese (dialog buttons, the file dialog).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
# The user interface is Chinese: a font with its glyphs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")

include(CPack)
