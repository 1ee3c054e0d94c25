#!/usr/bin/env bash
# The one install step shared by scripts/run and scripts/test: installs every Debian package
# the kit, its tests and its tools need, and only those that are missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  # windows, menus, dialogs; the xcb and offscreen platforms; GIF and ICO readers; D-Bus for
  # the desktop's media keys
  qt6-base-dev qt6-qpa-plugins libqt6svg6
  # decoding and resampling
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev
  # MIDI synthesis and a General MIDI SoundFont (provides /usr/share/sounds/sf2/default-GM.sf2)
  libfluidsynth-dev timgm6mb-soundfont
  # audio CDs
  libcdio-dev libcdio-paranoia-dev
  # audio output and capture; ALSA's headers to quiet the messages it prints beneath SDL
  libsdl2-dev libasound2-dev
  # fonts: URW Bookman for the main menu's heading, sans faces for the default font
  fonts-urw-base35 fonts-dejavu-core fonts-liberation2 fontconfig
  # tests and looking at what the kit shows and plays; python3 runs the picture generator and
  # the test that the stored pictures are what it draws
  xvfb xauth x11-utils imagemagick sox python3
  # the kit on Wayland: Qt's Wayland platform and a headless compositor for its test
  qt6-wayland weston
  # keeping every core busy while the suite runs, to check that it holds on a loaded machine
  stress-ng
  # desktop integration: validators for the desktop entry and the AppStream metadata, xdotool to
  # find the main menu when the installed entry is started on a virtual display
  desktop-file-utils appstream xdotool
  # the Debian package: dpkg-shlibdeps (dpkg-dev) and file, which CPack needs to find the
  # libraries the program links; gzip for its manual page and changelog; lintian to check it,
  # and man-db, which lintian reads the manual page with
  dpkg-dev file gzip lintian man-db
  # the media-key test's private session bus (dbus-run-session, dbus-send) and a desktop media
  # key client to drive the kit with
  dbus-daemon dbus-bin playerctl
  # tests: setpriv runs the rows that need file permissions as an unprivileged user; a
  # PulseAudio server of the test's own, with its client tools, for the output a desktop uses
  util-linux pulseaudio pulseaudio-utils
  # scripts/fuzz: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
