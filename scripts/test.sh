#!/usr/bin/env bash
# Sets up, builds and runs every test. Usage: scripts/test.sh [preset]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/install-deps.sh
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake --preset "$preset" -DLENTIVA_WERROR=$werror
cmake --build --preset "$preset"
ctest --preset "$preset"
