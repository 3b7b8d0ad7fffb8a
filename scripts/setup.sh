#!/usr/bin/env bash
# Installs what the build, the program and the tests need (Debian 12 or 13), then configures and builds.
# Safe to run again: packages already there are skipped, the build is incremental.
# BUILD_DIR (default build) and CMAKE_ARGS (extra configure options) may be set by the caller, and
# CXX=clang++ for a Clang build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake g++ make pkg-config ccache
    qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libicu-dev
    libx11-dev libxtst-dev libxi-dev libxfixes-dev libxres-dev
    xvfb xauth x11-utils x11-xkb-utils xdotool dbus jwm
    fonts-dejavu-core culmus fonts-noto-color-emoji
    libgtest-dev libgmock-dev libbenchmark-dev
    hebcal openssl
    libtesseract-dev libleptonica-dev tesseract-ocr-heb tesseract-ocr-eng
    imagemagick desktop-file-utils appstream dpkg-dev xdg-utils
    libwayland-dev libwayland-bin sway xwayland wl-clipboard wtype qt6-wayland mutter
    python3-gi gir1.2-gtk-3.0 gir1.2-vte-2.91 python3-tk xterm foot
)
[[ ${CXX:-} == *clang* ]] && packages+=(clang)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "setup: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build_dir=${BUILD_DIR:-build}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" "${launcher[@]}" ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
