#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Does nothing when they are all present already. With --fuzz, also what fuzzing needs.
set -euo pipefail

packages=(
    cmake g++ make pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-multimedia-dev
    qt6-positioning-dev qt6-svg-dev
    libqt6positioning6-plugins
    libsimdjson-dev libxcb1-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good icecast2 gstreamer1.0-tools
    xvfb xauth pulseaudio pulseaudio-utils dbus-daemon dbus-bin
    fonts-dejavu-core fonts-material-design-icons-iconfont
    desktop-file-utils appstream xdg-utils
)

# Fuzzing (make fuzz) needs clang and its runtime libraries, libFuzzer among them.
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
else
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
