# Installing ffsload as a Debian system expects it, and the Debian package.
include(GNUInstallDirs)

install(TARGETS ffsload ffsload-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The window program is started by ffsload, never by hand: off the PATH, in
# libexec, where ffsload looks for it.
install(TARGETS ffsload-gui RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR})
# The line board's server, started by "ffsload board".
install(TARGETS ffsload-board RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR})
# The IPC-CFX sender, started by "ffsload cfx", the panels and the grid; the
# one program that links the AMQP library. Its service, one instance per
# station folder, where Debian's systemd looks for units.
install(TARGETS ffsload-cfx RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/systemd/ffsload-cfx@.service
  DESTINATION lib/systemd/system)
# The panel file: found at ../share/ffsload beside the installed program.
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/download.uir DESTINATION ${CMAKE_INSTALL_DATADIR}/ffsload)

# Man pages carry the version (@PROJECT_VERSION@ in their title line);
# Debian keeps them compressed. Each goes to
# the man folder of its section (the digit after the last ".").
set(man_pages)
foreach(page ffsload.1 ffsload-sim.1 ffsload-tms.5 ffsload.conf.5)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
    COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/man/${page}
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page} ${PROJECT_SOURCE_DIR}/docs/man/${page}
    COMMENT "Compressing the man page ${page}")
  list(APPEND man_pages ${CMAKE_BINARY_DIR}/man/${page}.gz)
  string(REGEX REPLACE "^.*\\.([0-9])$" "\\1" section ${page})
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})

set(completions ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/ffsload DESTINATION ${completions})
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/ffsload DESTINATION ${completions}
  RENAME ffsload-sim)

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/data/udev/99-ffsload-fixtures.rules
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
# What Debian expects of every package's doc folder: the copyright file
# (machine-readable) and the changelog, compressed. The version has no
# Debian revision, so the package is native and its changelog is
# changelog.gz.
install(FILES ${PROJECT_SOURCE_DIR}/data/package/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(changelog ${CMAKE_BINARY_DIR}/package/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -DCHANGELOG=${PROJECT_SOURCE_DIR}/data/package/changelog
    -DVERSION=${PROJECT_VERSION} -DOUTPUT=${changelog} -P ${PROJECT_SOURCE_DIR}/cmake/debian_changelog.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/data/package/changelog ${PROJECT_SOURCE_DIR}/cmake/debian_changelog.cmake
  COMMENT "Checking and compressing the package's changelog")
add_custom_target(package_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
# What lintian is told on purpose (data/package/lintian-overrides says why).
install(FILES ${PROJECT_SOURCE_DIR}/data/package/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ffsload)
# The guides the README links to, with their pictures, under doc/ffsload/docs.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
  FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN "*.svg" PATTERN "man" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/station ${PROJECT_SOURCE_DIR}/examples/handset
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
  PATTERN "runs*.sqlite*" EXCLUDE PATTERN "IMEI" EXCLUDE PATTERN "Download_*" EXCLUDE
  PATTERN "ports" EXCLUDE)
# The example handset's IMEI file is part of the example, unlike a station's backups.
install(FILES ${PROJECT_SOURCE_DIR}/examples/handset/IMEI DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/handset)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ffsload)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ffsload developers")
# No address of the line's own has been given yet: example.com stands in
# (lintian refuses a host such as localhost). Change it here, in
# data/package/changelog and in data/package/copyright together.
set(CPACK_PACKAGE_CONTACT "ffsload developers <ffsload@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "loads and checks a GSM handset's flash file system over a serial line")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
  "A production-line tool: the operator picks a customer and a serial port and
presses Run; the customer's script puts the handset in test mode, formats its
flash file system, downloads calibration and identity files, reads them back
and checks them. Runs are recorded in SQLite or PostgreSQL, with a yield
report and a read-only line board for the supervisor. Includes ffsload-sim, a
simulated handset on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' packages, as dpkg-shlibdeps finds them; the Qt platform
# plugins the panels need at run time, libpq, loaded when a PostgreSQL
# store is first opened, and libunistring, loaded when a serial or an
# operator id first goes beyond ASCII, are not linked, so they are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libpq5, libunistring2")
# The windows' translations are built into ffsload-gui; Chinese needs a CJK
# font to be drawn (else empty boxes), and Qt's own translations give its
# dialogs' standard texts in the same language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "bash-completion, man-db, fonts-noto-cjk, qt6-translations-l10n")
include(CPack)
