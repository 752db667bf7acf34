# The Debian package (cpack -G DEB in the build folder, or scripts/package.sh for a release build).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qinghe)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QINGHE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "outpatient clinic program for Traditional Chinese Medicine")
# Debian's extended description: lines under 80 columns, paragraphs separated by an empty line.
set(CPACK_PACKAGE_DESCRIPTION "\
青禾中医门诊系统 (Qinghe TCM Clinic) is the desktop program of a small
outpatient clinic of Traditional Chinese Medicine: patient case register,
visits with diagnosis and herbal prescription, printing of case records and
prescription slips, charging and dispensing from the herb stock, stock-in and
stock-out, period closing, stock reports, record queries, users and backups.

All text the program shows is Simplified Chinese. The clinic's data is kept in
one encrypted SQLCipher file in the user's data folder; removing the package
leaves it in place.

The package also carries qinghe-demodata, which fills a database with
demonstration data for training.")
# Installed with DESTDIR under /usr, so the font alias link lands in the package's /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QINGHE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Needed at run time but not linked: the xcb window-system plugin, the CJK faces it shows and prints
# with, Qt's own Chinese texts (standard buttons, dialogs), and xdg-open for opening documents.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, fonts-arphic-uming, fonts-noto-cjk, qt6-translations-l10n, xdg-utils")
# Typing Chinese needs an input method that reaches Qt 6 programs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fcitx5-frontend-qt6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-writer, libreoffice-calc, sqlcipher")

include(CPack)
