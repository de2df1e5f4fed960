#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and the demo need.
# Idempotent: installs nothing and stays quiet when everything is already there.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # unit tests
  libgtest-dev libgmock-dev
  # window framework, its translations and the fonts the dialogs ask for
  qt6-base-dev qt6-translations-l10n fonts-liberation2 fonts-ipafont-gothic
  # running the program without a desktop (demo and end-to-end tests)
  xvfb xauth
  # end-to-end test: keys and clicks through XTEST, screenshots
  xdotool imagemagick
  # install and package checks: icon pictures, .deb dependencies, desktop entry and metainfo
  librsvg2-bin dpkg-dev file desktop-file-utils appstream
  # locale sources: a test builds de_DE.UTF-8 with localedef when it is not installed
  locales
  # logind client for the reboot and the sleep hold; a private bus and a mock logind to test it
  libsystemd-dev dbus python3-dbusmock
  # systemd-tmpfiles, which carries out the boot-time deletion entries in a test
  systemd
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
