# Read by cpack once per generator: the Debian package holds component deb,
# the zip component zip.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL deb)
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_COMPONENTS_ALL zip)
  set(CPACK_PACKAGE_FILE_NAME "ffsbuild-${CPACK_PACKAGE_VERSION}-windows")
endif()
