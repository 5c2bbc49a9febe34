#!/usr/bin/env bash
# Sets up, builds and starts Tovrel. Extra arguments go to the program (e.g. --folder DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVREL_TESTS=OFF >/dev/null
cmake --build build --target tovrel
exec build/tovrel "$@"
