#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test suite.
# usage: scripts/test.sh            (build folder: build/)
# QL_WERROR=ON makes warnings errors (CI sets it).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQL_WERROR="${QL_WERROR:-OFF}"
cmake --build build
ctest --test-dir build --output-on-failure -j2
