#!/usr/bin/env bash
# Installs the Debian packages ハコミル needs. "run" installs what building and starting the
# program need; "test" adds what the test suite uses. Packages already present are skipped, so a
# second run costs nothing.
set -euo pipefail

what="${1:-run}"

# Qt reads WebP through qt6-image-formats-plugins; libheif reads HEIC and AVIF, libtiff TIFF;
# LittleCMS converts pictures' colours to sRGB, zlib inflates a PNG's colour profile, and libjpeg
# decodes a CMYK JPEG whose profile Qt's reader cannot apply.
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-image-formats-plugins libheif-dev libtiff-dev liblcms2-dev zlib1g-dev libjpeg-dev
    qt6-translations-l10n fonts-noto-cjk help2man
)
if [ "$what" = "test" ]; then
    packages+=(
        xvfb xauth xclip xdotool x11-utils imagemagick poppler-utils librsvg2-bin
        cups cups-client cups-bsd printer-driver-cups-pdf
        clang-14 libclang-rt-14-dev clang-format-14
        libbenchmark-dev time appstream libjpeg-turbo-progs
        desktop-file-utils dpkg-dev file lintian devscripts
        webp libheif-examples python3
    )
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Installing ${missing[*]} needs root or sudo." >&2; exit 1; }
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
