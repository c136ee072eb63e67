#!/usr/bin/env bash
# Configures and builds everything into ./build (RelWithDebInfo). Uses ccache when the
# machine has it, so a rebuild after a small change or a fresh clone is quick.
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build build -j2
