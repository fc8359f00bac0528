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

# What Debian asks of every package's /usr/share/doc/korvex-config: a machine-readable copyright
# file and, the package being native (its version has no Debian revision), the changelog as
# changelog.gz. `cmake --install` puts them there too, where the other documentation goes.
set(debian_doc ${CMAKE_BINARY_DIR}/packaging/debian)

# A licence text from a file the project ships, from its first line of licence text on, indented
# as a copyright file's paragraph continues: one space before each line, " ." for an empty one.
# So the copyright file always says what LICENSE and OFL.txt say.
function(korvex_licence_paragraph out_var file first_line)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(READ ${file} text)
  string(FIND "${text}" "${first_line}" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${file} has no line \"${first_line}\" to start the copyright file's text at")
  endif()
  string(SUBSTRING "${text}" ${start} -1 text)
  string(REGEX REPLACE "\n+$" "" text "${text}")
  string(REPLACE "\n" "\n " text " ${text}")
  while(text MATCHES "\n \n")  # each pass marks every other one of empty lines in a row
    string(REPLACE "\n \n" "\n .\n" text "${text}")
  endwhile()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()
korvex_licence_paragraph(KORVEX_EXPAT_TEXT ${PROJECT_SOURCE_DIR}/LICENSE "Permission is hereby granted")
korvex_licence_paragraph(KORVEX_OFL_TEXT ${PROJECT_SOURCE_DIR}/src/ui/qt/fonts/OFL.txt
                         "SIL OPEN FONT LICENSE Version 1.1")
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${debian_doc}/copyright @ONLY)

# The changelog is written by hand, one entry per release; a version without its entry would ship
# the previous one's, so the build stops.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog newest_entry LIMIT_COUNT 1)
if(NOT newest_entry MATCHES "^korvex-config \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/linux/changelog has no entry for ${PROJECT_VERSION} on its first line")
endif()
# -n leaves the name and time out, so the same changelog always makes the same bytes.
add_custom_command(
  OUTPUT ${debian_doc}/changelog.gz
  COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${debian_doc}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  COMMENT "Debian changelog")
add_custom_target(korvex-debian-changelog ALL DEPENDS ${debian_doc}/changelog.gz)
install(FILES ${debian_doc}/copyright ${debian_doc}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
include(CPack)
