# Read by cpack once per generator. Only the Debian package installs under /usr; the archives
# hold a tree relative to wherever they are unpacked.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
