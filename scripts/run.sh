#!/usr/bin/env bash
# Sets up, builds and starts Tovrel. Extra arguments go to the program (e.g. --folder DIR).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
(
    cd "$root"
    scripts/setup.sh
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVREL_TESTS=OFF -DTOVREL_BENCH=OFF >/dev/null
    cmake --build build --target tovrel
)

data="${XDG_DATA_HOME:-$HOME/.local/share}/Tovrel"
# Earlier builds kept the contacts inside the build folder, which a clean build deletes: move them to the user's
# data folder once, when that holds no address book yet.
if [ -f "$root/build/Tovrel.mdb" ] && [ ! -e "$data/Tovrel.mdb" ]; then
    mkdir -p -m 700 "$data"
    for f in Tovrel.mdb TovrelIni.ini ListFile.txt Tovrel.bak; do
        [ -e "$root/build/$f" ] && mv "$root/build/$f" "$data/"
    done
    echo "Moved the contacts of an earlier build from $root/build to $data"
fi

folder=""
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
    [ "${args[i]}" = "--folder" ] && [ $((i + 1)) -lt ${#args[@]} ] && folder="${args[i + 1]}"
done
if [ -z "$folder" ]; then
    if [ -f "$root/build/Tovrel.mdb" ]; then folder="$root/build"; else folder="$data"; fi
fi
echo "Tovrel keeps its contacts in $folder"
exec "$root/build/tovrel" "$@"
