# SPDX-License-Identifier: GPL-3.0-or-later
# A Debian package of what `cmake --install` puts in place (scripts/build-deb.sh).
# The libraries the programs link are found by dpkg-shlibdeps; what they only
# load at run time (Qt's image readers and platform plugins) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ovrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "The Ovrin developers <ovrin@localhost>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${PROJECT_DESCRIPTION}
 Ovrin reduces every picture of a folder tree to a small thumbnail signature
 and lists those whose signature agrees with a target's within a colour
 tolerance and a match rate, so resized, recompressed and lightly edited
 copies of a photograph turn up. It reads JPEG, PNG, GIF, BMP, WebP, TIFF,
 HEIF/AVIF, JPEG XL, camera RAW files and more, keeps index files of whole
 collections and finds the groups of look-alike pictures among them.
 .
 The package holds the desktop application ovrin and the command-line
 companion ovrin-cli.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Appended to what dpkg-shlibdeps finds.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-translations-l10n, xdg-utils")
include(CPack)
