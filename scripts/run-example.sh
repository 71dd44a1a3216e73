#!/usr/bin/env bash
# Installs what the project needs, builds the runtime and runs the default example game.
# usage: scripts/run-example.sh [GAME]   (default: examples/hello)
# Without a display (no DISPLAY or WAYLAND_DISPLAY) the game runs headless; with one it opens
# its window.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build --target quillorane
game=${1:-examples/hello}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec build/quillorane --headless "$game"
fi
exec build/quillorane "$game"
