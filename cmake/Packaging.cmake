# The Debian package: `cpack -G DEB` in a Release build folder (scripts/package does it all).
# It holds what `cmake --install` puts under the prefix: the zyr-kit program, its player module,
# its manual page, desktop entry, icons and AppStream metadata, and the documents Debian asks of
# every package (packaging/debian/): the machine-readable copyright file and the changelog,
# whose first entry gives the package's version, and lintian's overrides. No tests, no headers,
# no static libraries. scripts/package configures for the prefix /usr, so that the player module
# goes to Debian's multiarch library folder: below /usr/lib itself CPack would add ldconfig calls
# that a private module does not need.
#
# The libraries the program links come from dpkg-shlibdeps. Listed by hand is what it loads or
# reads at run time and no linker sees: the General MIDI SoundFont, the faces the windows'
# design fonts map to, and one of Qt's platform plugins, X11's or Wayland's.
set(ZYR_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zyr-multimedia-kit)
set(CPACK_PACKAGE_VENDOR "ZYR Software")
set(CPACK_PACKAGE_CONTACT "ZYR Software <support@zyr.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Play WAV sounds, MIDI music, AVI movies and audio CDs")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${CPACK_PACKAGE_NAME})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Folders the package makes are 0755 whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The changelog's first line, "zyr-multimedia-kit (1.0.0-1) unstable; urgency=medium", names the
# version being packed: its upstream part must be the project's, its revision is the package's.
file(STRINGS ${ZYR_DEBIAN_DIR}/changelog ZYR_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT ZYR_CHANGELOG_TOP MATCHES "^${CPACK_PACKAGE_NAME} \\(([^-]+)-([^)]+)\\) ")
  message(FATAL_ERROR "packaging/debian/changelog must begin with an entry of "
                      "${CPACK_PACKAGE_NAME} (VERSION-REVISION)")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/debian/changelog's latest entry is for ${CMAKE_MATCH_1}, "
                      "the project is ${PROJECT_VERSION}: add an entry for it")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.zyr.example/")
# CPack puts the summary on the first line and indents this text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The ZYR Multimedia Kit is a small desktop program for one user. Its main
menu opens four players, each in a window of its own: a WAV sound player
and recorder, a MIDI player synthesizing through a General MIDI SoundFont,
an AVI movie viewer and an audio CD player.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "timgm6mb-soundfont | sf2-soundfont-gm, fonts-urw-base35, fonts-dejavu-core, "
    "fonts-liberation2, qt6-qpa-plugins | qt6-wayland")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DEPENDS ${CPACK_DEBIAN_PACKAGE_DEPENDS})

set(ZYR_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
install(FILES ${ZYR_DEBIAN_DIR}/copyright DESTINATION ${ZYR_PACKAGE_DOCDIR})
zyr_install_gzipped(${ZYR_DEBIAN_DIR}/changelog ${ZYR_PACKAGE_DOCDIR} changelog.Debian.gz)
# What lintian is told to let pass, each tag with its reason.
install(FILES ${ZYR_DEBIAN_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${CPACK_PACKAGE_NAME})

include(CPack)
