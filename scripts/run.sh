#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program from build/bin/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
BIN=build/bin
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found: starting the program in a virtual X server (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$BIN/hx4417"
fi
exec "$BIN/hx4417"
