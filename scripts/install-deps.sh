#!/bin/bash
# Installs the Debian 12 packages that building, running and testing need, and
# any further packages named as arguments (the benchmarks' pictures and tools);
# nothing when they are all there already.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools
    qt6-image-formats-plugins qt6-qpa-plugins
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    libjpeg62-turbo-dev libpng-dev libtiff-dev libwebp-dev libgif-dev
    libheif-dev libjxl-dev libraw-dev qt6-svg-dev
    qt6-translations-l10n xdg-utils valgrind
    clang-format # clang-format-14: the format test checks the sources with it
    clang-tidy # clang-tidy-14 and run-clang-tidy: the tidy test (scripts/tidy.sh)
    e2fsprogs # mkfs.ext4: a test mounts an image with whole-second times
)

packages+=("$@")
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
