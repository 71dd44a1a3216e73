#!/usr/bin/env bash
# Installs what the project needs, builds the runtime and runs the default example game.
# usage: scripts/run-example.sh [GAME]   (default: examples/hello)
# Without a display (no DISPLAY or WAYLAND_DISPLAY) the game runs headless for 180 frames and
# its last frame is saved as build/GAME.png; with a display it opens its window.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build --target quillorane
game=${1:-examples/hello}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No display: three seconds of the game headless, then a screenshot of its last frame.
  shot=$root/build/$(basename "$game").png
  build/quillorane --headless --frames 180 --screenshot "$shot" "$game"
  echo "run-example: no display here; the last frame is in $shot"
  exit 0
fi
exec build/quillorane "$game"
