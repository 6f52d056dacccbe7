#!/usr/bin/env bash
# The demo: builds the service, creates the demo hotel, starts the printer-manager simulator,
# runs FiscoraService until the demo bills are registered and prints what was registered.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

# Generates the demo hotel, starts the printer-manager simulator, runs FiscoraService in
# build/release/demo-run until every demo payment is registered and prints the summary; exits
# non-zero when something that should have been registered was not.
exec build/release/tools/demo/fiscora_demo --work build/release/demo-run "$@"
