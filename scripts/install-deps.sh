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
    locales               # a decimal-comma locale for the number tests
    desktop-file-utils    # checking the installed desktop entries
    libglib2.0-dev nlohmann-json3-dev  # the desktop backend (GSettings, GDBus, sway's JSON)
    libwayland-dev libwayland-bin  # river's command interface, and the Wayland globals auto reads
    dbus-daemon dconf-service dconf-gsettings-backend dconf-cli gsettings-desktop-schemas  # its tests
    cinnamon-desktop-data mate-settings-daemon-common  # the Cinnamon and MATE schemas, for the same tests
    mate-settings-daemon  # MATE's own applier (its mouse plugin), for the MATE backend's test
    sway                  # a real sway, headless, for the sway backend's tests
    xfconf xfce4-settings # a real xfconfd and xfsettingsd, for the Xfce backend's tests
    dpkg-dev debhelper    # make deb
    lintian appstream     # checking the package and its AppStream metadata
)

# The tests run under de_DE.UTF-8, which writes decimals with a comma.
make_test_locale() {
    locale -a 2>/dev/null | grep -qix 'de_DE.utf8' && return 0
    echo "install-deps: making the de_DE.UTF-8 locale" >&2
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    make_test_locale
    exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
make_test_locale
