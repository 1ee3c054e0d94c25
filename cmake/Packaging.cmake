# The Debian package: `cpack -G DEB` in a Release build folder (scripts/package does it all).
# It holds what `cmake --install` puts under the prefix: the zyr-kit program, its desktop entry,
# icons and AppStream metadata; no tests, no headers, no static libraries.
#
# The libraries the program links come from dpkg-shlibdeps. Listed by hand is what it loads or
# reads at run time and no linker sees: the General MIDI SoundFont, the faces the windows'
# design fonts map to, and Qt's X11 platform plugin.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zyr-multimedia-kit)
set(CPACK_PACKAGE_VENDOR "ZYR Software")
set(CPACK_PACKAGE_CONTACT "ZYR Software <support@zyr.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Play WAV sounds, MIDI music, AVI movies and audio CDs")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${CPACK_PACKAGE_NAME})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

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
    "fonts-liberation2, qt6-qpa-plugins")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DEPENDS ${CPACK_DEBIAN_PACKAGE_DEPENDS})

include(CPack)
