# The Debian package: `make package` (cpack -G DEB in the build directory)
# gives gsadmin_VERSION_ARCH.deb with what `cmake --install` installs, under
# /usr, binaries stripped and dependencies found by dpkg-shlibdeps, with
# the libraries the client loads on first use named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gsadmin)
set(CPACK_PACKAGE_VENDOR "the gsadmin authors")
set(CPACK_PACKAGE_CONTACT "The gsadmin authors <gsadmin@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console remote-administration client for game servers")
# Debian shows the description as it is: lines of at most 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "gsadmin logs in to a multiplayer game server's admin port over UDP, keeps\n"
  "a live model of the server (players, vehicles, weapons), prints one line\n"
  "for every server event and runs a Lua 5.1 script that reacts to those\n"
  "events and can chat, send private messages, slap, kick and ban.\n"
  "\n"
  "The package also contains gsadmin-sim, a loopback game server that plays\n"
  "reproducible matches for trying scripts, example scripts, editor\n"
  "annotations of the script API and a hardened systemd unit for running one\n"
  "client per server.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libpq and libcurl are opened at run time (dlopen), so dpkg-shlibdeps does
# not see them; shlibdeps' findings are added to these. CURLOPT_PROTOCOLS_STR
# came with libcurl 7.85. The schedules read the system's time zones
# (tzdata); libre2, libtomlplusplus and libqrencode (the QR code of
# --enroll-totp) are linked, so shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpq5, libcurl4 (>= 7.85.0), tzdata")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
