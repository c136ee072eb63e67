#!/usr/bin/env bash
# Makes the Debian package of the program from the build in ./build and prints the
# .deb's path (in the folder given as the first argument, build/package by default).
# Without a build yet, it installs what is missing and builds first, like the other
# scripts. ADO_BUILD_DIR names another build folder.
#
#   bash scripts/package-deb.sh
#   sudo apt-get install ./build/package/ado-schema_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

build=${ADO_BUILD_DIR:-build}
out=${1:-$build/package}

if [[ ! -f "$build/CPackConfig.cmake" ]]; then
    bash scripts/install-deps.sh >&2
    bash scripts/build.sh >&2
fi
# Only the programs: the package holds nothing else that is built.
cmake --build "$build" -j2 --target ADO_Schema adoschema-cli >&2
mkdir -p "$out"
out=$(cd "$out" && pwd)
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >&2
rm -rf "$out/_CPack_Packages"
ls -t "$out"/*.deb | head -n 1
