#!/usr/bin/env bash
# Builds a release and the Debian package tovrel_VERSION_ARCH.deb in build-package/, and prints its path last.
#   sudo apt-get install ./build-package/tovrel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
# What packaging needs beyond the build: shared-library dependencies, the man page, the icons.
scripts/setup.sh dpkg-dev file help2man librsvg2-bin
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DTOVREL_TESTS=OFF -DTOVREL_BENCH=OFF >/dev/null
cmake --build build-package
(cd build-package && cpack -G DEB >/dev/null)
ls -t "$PWD"/build-package/tovrel_*.deb | head -n 1
