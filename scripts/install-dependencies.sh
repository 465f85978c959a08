#!/usr/bin/env bash
# Installs the Debian packages the program needs to build and run, and with --tests those its test
# suite needs too. Only missing packages are installed; as an ordinary user this asks sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-image-formats-plugins   # Qt 6 Widgets; the icns reader for the folder icons
  qt6-tools-dev qt6-l10n-tools             # Qt's LinguistTools and lrelease make the translation tables
  plocate                                  # /usr/bin/locate finds the installations at first start
  default-jdk-headless                     # /usr/bin/jar extracts dropped archives
  zlib1g-dev                               # crc32 checks what jar extracted
)
if [[ "${1:-}" == "--tests" ]]; then
  packages+=(libgtest-dev libgmock-dev googletest xvfb xauth)
  # The desktop tests: find and close windows, take screenshots, check the desktop entry and AppStream
  # file, and build the .deb (file and dpkg-shlibdeps name the libraries it depends on).
  packages+=(xdotool x11-apps python3 desktop-file-utils appstream file dpkg-dev)
  # A real window manager frames the window, and the window's frame is read as it places it.
  packages+=(openbox x11-utils)
  # A GTK window stands in for a file manager as the source of real drags.
  packages+=(python3-gi gir1.2-gtk-3.0)
  # The fuzz targets are built with clang's libFuzzer.
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
