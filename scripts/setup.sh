#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tovrel need, when any is missing; packages
# given as arguments are installed with them (scripts/package.sh adds its own).
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-multimedia-dev libqt6svg6 libgl-dev libxkbcommon-dev
    libsqlite3-dev sqlite3 libicu-dev libbenchmark-dev mdbtools libmdb3 mdbtools-dev
    fonts-liberation2 fonts-dejavu-core xvfb xauth poppler-utils python3-vobject python3-icalendar
    desktop-file-utils appstream
    qtkeychain-qt6-dev radicale xandikos
    cups cups-client cups-bsd printer-driver-cups-pdf
    "$@"
)
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
