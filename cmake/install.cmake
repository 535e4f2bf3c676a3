# Installation and packaging: the program, its manual page and its bash
# completion, laid out as a Unix tool expects them, and a Debian package of
# the same files made by CPack (cpack -G DEB in the build folder).
include(GNUInstallDirs)

install(TARGETS mirekast RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripping install (cpack, cmake --install --strip) also drops the
# compiler's .comment and .note sections, as Debian's own packages do.
if(UNIX AND CMAKE_STRIP)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/mirekast\"
        RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR \"could not strip the installed mirekast\")
      endif()
    endif()")
endif()

if(UNIX)
  # Debian ships manual pages compressed with gzip -9n (-n: no name or time
  # stamp, so the package is reproducible).  Without gzip the page goes in
  # as it is; man reads both.
  set(MIREKAST_MAN_PAGE ${PROJECT_SOURCE_DIR}/doc/mirekast.1)
  find_program(MIREKAST_GZIP gzip)
  if(MIREKAST_GZIP)
    set(MIREKAST_MAN_BUILT ${PROJECT_BINARY_DIR}/doc/mirekast.1.gz)
    add_custom_command(OUTPUT ${MIREKAST_MAN_BUILT}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
      COMMAND ${CMAKE_COMMAND} -E copy ${MIREKAST_MAN_PAGE} ${PROJECT_BINARY_DIR}/doc/mirekast.1
      COMMAND ${MIREKAST_GZIP} -9nf ${PROJECT_BINARY_DIR}/doc/mirekast.1
      DEPENDS ${MIREKAST_MAN_PAGE}
      COMMENT "Compressing the manual page"
      VERBATIM)
    add_custom_target(mirekast_man ALL DEPENDS ${MIREKAST_MAN_BUILT})
  else()
    set(MIREKAST_MAN_BUILT ${MIREKAST_MAN_PAGE})
  endif()
  install(FILES ${MIREKAST_MAN_BUILT} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # Where bash-completion looks for a command's completion when it is first
  # needed (its completionsdir, relative to the prefix).
  install(FILES ${PROJECT_SOURCE_DIR}/completion/mirekast
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions)
endif()

# A systemd service and timer that write the Prometheus exposition into
# node_exporter's textfile folder every 15 seconds.  Installed, never enabled:
# the package has no maintainer scripts, so they run once the user enables
# the timer.  The service names the program where the install puts it
# (/usr/bin in the package), so it is written when installing, when the
# prefix is known.
if(UNIX AND NOT APPLE)
  install(CODE "
    file(READ \"${PROJECT_SOURCE_DIR}/systemd/mirekast-prometheus.service\" unit)
    string(REPLACE \"/usr/bin/mirekast \" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/mirekast \" unit \"\${unit}\")
    set(units \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
    file(MAKE_DIRECTORY \"\${units}\")
    file(WRITE \"\${units}/mirekast-prometheus.service\" \"\${unit}\")
    message(STATUS \"Installing: \${units}/mirekast-prometheus.service\")")
  install(FILES ${PROJECT_SOURCE_DIR}/systemd/mirekast-prometheus.timer
    DESTINATION lib/systemd/system)
endif()

# The package's documentation folder, as Debian policy asks of every package:
# the licence as a machine-readable copyright file, made from LICENSE so that
# the two cannot differ, and the Debian changelog, compressed like the page.
if(UNIX AND NOT APPLE)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE MIREKAST_LICENSE)
  # The licence text without its title and copyright line, each line indented
  # by one blank and a blank line written " .", as the format wants it.
  string(REGEX REPLACE "^MIT License\n\nCopyright[^\n]*\n\n" "" MIREKAST_LICENSE_BODY "${MIREKAST_LICENSE}")
  string(REGEX REPLACE "\n+$" "" MIREKAST_LICENSE_BODY "${MIREKAST_LICENSE_BODY}")
  string(REPLACE "\n\n" "\n.\n" MIREKAST_LICENSE_BODY "${MIREKAST_LICENSE_BODY}")
  string(REPLACE "\n" "\n " MIREKAST_LICENSE_BODY "${MIREKAST_LICENSE_BODY}")
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" MIREKAST_COPYRIGHT_LINE "${MIREKAST_LICENSE}")
  set(MIREKAST_COPYRIGHT_HOLDER "${CMAKE_MATCH_1}")
  if(NOT MIREKAST_COPYRIGHT_HOLDER OR MIREKAST_LICENSE_BODY STREQUAL MIREKAST_LICENSE)
    message(FATAL_ERROR "LICENSE is not the MIT licence with its copyright line")
  endif()
  file(WRITE ${PROJECT_BINARY_DIR}/doc/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: mirekast

Files: *
Copyright: ${MIREKAST_COPYRIGHT_HOLDER}
License: Expat
 ${MIREKAST_LICENSE_BODY}
")
  set(MIREKAST_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/mirekast)
  install(FILES ${PROJECT_BINARY_DIR}/doc/copyright DESTINATION ${MIREKAST_DOC_DIR})
  if(MIREKAST_GZIP)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/changelog.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/doc/debian/changelog ${PROJECT_BINARY_DIR}/doc/changelog
      COMMAND ${MIREKAST_GZIP} -9nf ${PROJECT_BINARY_DIR}/doc/changelog
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/debian/changelog
      COMMENT "Compressing the Debian changelog"
      VERBATIM)
    add_custom_target(mirekast_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/doc/changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz DESTINATION ${MIREKAST_DOC_DIR})
  else()
    install(FILES ${PROJECT_SOURCE_DIR}/doc/debian/changelog DESTINATION ${MIREKAST_DOC_DIR})
  endif()
endif()

set(CPACK_PACKAGE_NAME mirekast)
set(CPACK_PACKAGE_VENDOR "Mirekast")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Mirekast maintainers <maintainers@users.noreply.c-seed-f43723b4.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console tool that reports a machine's performance counters")
# Debian's long description: lines under 80 characters, the line breaks
# kept as written.
set(CPACK_PACKAGE_DESCRIPTION
"Mirekast lists a machine's performance objects (Processor, Process, Thread,
Memory, ...) with their instances and counters, and samples the counters you
name, or all of them: once, twice one second apart for per-second rates, or
every second until a key is pressed. It prints each sample as boxed tables,
a list or a long list, in hexadecimal or decimal. On Linux it serves the
objects from /proc and /sys under the names Windows gives them.")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/" "/\\\\.git/" "/\\\\.git$")

if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR ZIP)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
# dpkg-shlibdeps (from dpkg-dev) reads the libraries the binary links and
# writes the versioned Depends line; without it, name the same libraries
# unversioned rather than build a package that claims to need nothing.
find_program(MIREKAST_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(MIREKAST_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

include(CPack)
