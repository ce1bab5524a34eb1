#!/usr/bin/env bash
# Installs every package the build, the tests and the program need (when
# missing), then configures and builds in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake ninja-build ccache pkg-config
          qt6-base-dev qt6-base-dev-tools libgl-dev qt6-gtk-platformtheme
          libsqlcipher-dev sqlcipher postgresql libpq-dev
          libxlsxwriter-dev libfreexl-dev libquazip1-qt6-dev libminizip-dev
          fonts-noto-cjk fonts-wqy-zenhei fonts-arphic-uming qt6-translations-l10n xvfb xauth
          desktop-file-utils librsvg2-bin file poppler-utils libicu-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVO_CMAKE_ARGS:-}
cmake --build build --parallel "$(nproc)"
