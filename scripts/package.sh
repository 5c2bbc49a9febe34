#!/usr/bin/env bash
# Builds a release and the Debian package tovrel_VERSION_ARCH.deb in build-package/, and prints its path last.
#   sudo apt-get install ./build-package/tovrel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# What packaging needs beyond the build: shared-library dependencies, the man page, the icons.
packages=(dpkg-dev file help2man librsvg2-bin)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DTOVREL_TESTS=OFF -DTOVREL_BENCH=OFF >/dev/null
cmake --build build-package
(cd build-package && cpack -G DEB >/dev/null)
ls -t "$PWD"/build-package/tovrel_*.deb | head -n 1
