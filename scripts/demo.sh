#!/usr/bin/env bash
# The demo: builds the service, creates the demo hotel, starts the printer-manager simulator,
# runs FiscoraService until the demo bills are registered and prints what was registered.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

if [ ! -x tools/demo/run_demo.sh ]; then
    echo "The demo hotel and the end-to-end run are not built yet: this command will generate the"
    echo "demo PMS, start the printer-manager simulator on 127.0.0.1, run FiscoraService until every"
    echo "demo bill is registered, stop it and print the registered checks and status rows."
    exit 0
fi
exec tools/demo/run_demo.sh build/release
