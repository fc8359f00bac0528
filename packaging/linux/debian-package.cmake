# The Debian package, made by `cpack --preset release` from what `cmake --install` puts in place:
# korvex-config_<version>_amd64.deb. Its dependencies are read from the binaries (dpkg-shlibdeps)
# plus the font the window's layout is measured with.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvex-config)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Korvex")
set(CPACK_PACKAGE_CONTACT "korvex-config maintainers <maintainers@korvex.invalid>"
    CACHE STRING "The Debian package's Maintainer field")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure Korvex USB rotary encoder boards")
# The summary is the Description's first line; this is the text below it.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION  # lines of at most 79 characters, as dpkg shows them
       "A window (korvex-config) and a command line (korvexctl) that set the\n"
       "encoder mode of each button pair, the pulse length and the gaming-devices\n"
       "visibility of Korvex rotary encoder boards (USB 5a17:0102). A udev rule lets\n"
       "the user at the seat open these boards, and no other HID device; it is\n"
       "applied when the package is installed.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # name_version_arch.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)  # without it the rule is never read, but the CLI still runs as root
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# 0755 maintainer scripts, as dpkg requires.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/postrm)
include(CPack)
