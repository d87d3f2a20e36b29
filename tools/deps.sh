#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Sourced by run.sh and test.sh; installs only what is missing.
set -euo pipefail

DORVANE_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-multimedia-dev
  libgl-dev libgl1-mesa-dri libglx-mesa0
  qt6-qpa-plugins libxkbcommon-x11-0 libxcb-cursor0
  fonts-ipafont-gothic fontconfig
  xvfb xauth x11-utils
  libx11-dev libxtst-dev libx11-xcb-dev libxcb1-dev libxcb-present-dev
  libwayland-dev libwayland-bin wayland-protocols qt6-base-private-dev qt6-wayland weston
  libxcb-xtest0-dev libxcb-randr0-dev qt6-charts-dev
  clang libclang-rt-14-dev
  # Qt's translation tools: lupdate and lrelease, and their CMake package;
  # Qt's own texts in Japanese
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  # the desktops of the end-to-end test, and the package and desktop entry checks
  openbox xfwm4 xfconf dbus-daemon dpkg-dev desktop-file-utils libglib2.0-bin
  # GNOME's and KDE's compositors without their desktops (about 400 MB with
  # what they pull in, recommendations left out)
  mutter kwin-x11 kwin-wayland
  # Debian's package check and the AppStream validator
  lintian appstream
)

dorvane_install_deps() {
  local missing=()
  for p in "${DORVANE_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

dorvane_build() {
  local dir="$1"
  cmake -S "$DORVANE_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
