#!/usr/bin/env bash
# The whole test suite: installs what is missing, configures, builds and runs every test.
# Usage: scripts/test.sh [dev|asan]   (default dev)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}

scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
