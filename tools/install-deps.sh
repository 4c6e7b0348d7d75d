#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

packages=(
    g++ make cmake ninja-build lld pkg-config python3 clang-format
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    qt6-base-dev libgl-dev
    hershey-fonts-data
    clang libclang-rt-14-dev
    xvfb openbox xdotool imagemagick poppler-utils
    python3-pil libwmf-bin
    # libwmf only recommends its fonts, yet wmf2svg refuses every file when none is found.
    fonts-urw-base35
    # Outside readers of the CAD exports: a DXF library and a CAD kernel's IGES reader.
    python3-ezdxf occt-draw libocct-draw-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
