# The Debian package of the command and the Linux plug-in, made by `cpack -G DEB` in a build
# tree. Its dependencies are found from the binaries by dpkg-shlibdeps, so that they follow
# whatever the programs are linked against.
set(KIV_PACKAGE_CONTACT "kivMrkWLX maintainers <maintainers@kivmrk.invalid>" CACHE STRING
  "The Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME kivmrk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KIV_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "report what is inside JPEG marker segments, JPEG files and TIFF files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "kivmrk writes an HTML page (or a text or JSON tree) of what a JPEG marker segment, a whole\n"
  "JPEG file or a TIFF file holds: every segment's kind and size, its decoded fields, hex\n"
  "dumps of what is not decoded, and its thumbnail pictures. The package also holds the\n"
  "viewer plug-in kivMrkWLX.wlx for the Qt5 build of the host file manager, in\n"
  "/usr/lib/kivMrkWLX/, which shows the same page for *.MRK files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
