#!/usr/bin/env bash
# The one install step shared by scripts/run and scripts/test: installs every Debian package
# the kit, its tests and its tools need, and only those that are missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  # windows, menus, dialogs; the xcb and offscreen platforms; GIF and ICO readers
  qt6-base-dev qt6-qpa-plugins libqt6svg6
  # decoding and resampling
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev
  # MIDI synthesis and a General MIDI SoundFont (provides /usr/share/sounds/sf2/default-GM.sf2)
  libfluidsynth-dev timgm6mb-soundfont
  # audio CDs
  libcdio-dev libcdio-paranoia-dev
  # audio output and capture
  libsdl2-dev
  # fonts: URW Bookman for the main menu's heading, sans faces for the default font
  fonts-urw-base35 fonts-dejavu-core fonts-liberation2 fontconfig
  # tests and looking at what the kit shows and plays; python3 runs the picture generator and
  # the test that the stored pictures are what it draws
  xvfb xauth x11-utils imagemagick sox python3
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
