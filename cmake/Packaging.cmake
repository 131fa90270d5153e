# `cpack -G DEB` in the build directory makes a Debian package of what `cmake --install` installs.
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "Tavrin maintainers")
set(CPACK_PACKAGE_CONTACT "Tavrin maintainers <maintainers@users.noreply.c-seed-54407ff9.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "voice keyer for amateur-radio stations")
# One string: set() would join several with semicolons.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tavrin records up to twelve short voice messages and plays them into a transmitter's audio "
    "input while it keys the push-to-talk line (serial DTR/RTS, CAT through Hamlib, CM108 GPIO, "
    "parallel port or VOX). Loggers and scripts drive it over D-Bus or its command line.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${TAVRIN_REPOSITORY_URL})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
# The libraries the program links (Qt, ALSA, libsndfile, libsamplerate, libebur128) come from
# dpkg-shlibdeps. Hamlib is loaded only when a rig is used (dlopen), which dpkg-shlibdeps cannot
# see: it is declared here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libhamlib4")
# ALSA's PulseAudio/PipeWire plugin gives the "default" device; xdg-open shows the manual; Qt's
# own translations put the standard buttons of a translated window in the same language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libasound2-plugins, xdg-utils, pavucontrol | pavucontrol-qt, qt6-translations-l10n")
# rigctld shares one radio's CAT port between Tavrin and a logger.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libhamlib-utils")
include(CPack)
