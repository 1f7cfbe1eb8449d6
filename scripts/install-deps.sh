#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and `make run` need.
# Checks with dpkg first, so it costs nothing when everything is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev pkg-config make binutils
    libplist-dev          # property-list files of the preference service
    libcairo2-dev         # drawing of the curve view and pane snapshots
    libgtk-3-dev          # the preference host's window
    libgtest-dev libgmock-dev
    libbenchmark-dev
    xvfb xauth xdotool    # window tests without a real display
    libx11-dev libxi-dev  # the event service's X11 backend
    xserver-xorg-core xserver-xorg-video-dummy xinput  # a private Xorg with inputtest pointers
    libglib2.0-dev nlohmann-json3-dev  # the desktop backend (GSettings, GDBus, sway's JSON)
    dbus-daemon dconf-service dconf-gsettings-backend dconf-cli gsettings-desktop-schemas  # its tests
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
