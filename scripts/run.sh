#!/usr/bin/env bash
# Sets up, builds and opens Lentiva on a bundled sample invoice (or on FILE).
# Usage: scripts/run.sh [FILE]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
file=${1:-build/FATTURE/IT00000000001_ESEMPIO_PA.xml}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running under Xvfb (nothing will be visible)."
  exec xvfb-run -a build/lentiva "$file"
fi
exec build/lentiva "$file"
