#!/usr/bin/env bash
# The demo: builds the service, creates the demo hotel, starts the printer-manager simulator,
# runs FiscoraService until the demo bills are registered and prints what was registered.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
# Only the demo driver, the service it runs and its client library (the simulators are part of
# the driver): the benchmarks of the preset are not needed.
cmake --build --preset release --target fiscora_demo FiscoraService LGXClient

# Generates the demo hotel, starts the printer-manager simulator, runs FiscoraService in
# build/release/demo-run until every demo payment is registered and prints the summary, which ends
# with the reconciliation of the status table with what the simulators registered; exits non-zero
# when something that should have been registered was not, or on any mismatch of the
# reconciliation (every variant). "scripts/demo.sh suite8"
# runs the Suite8 demo hotel instead of the Opera one (in build/release/demo-run-suite8).
# The check-database server simulator takes its fixed port and the client library broadcasts on
# loopback: the demo runs in a private network namespace where the machine allows it.
# "scripts/demo.sh czech" runs the Opera demo hotel with Czech sales registration (printer type
# 10) against the Czech registration simulator (in build/release/demo-run-czech).
# "scripts/demo.sh windows" runs the Opera demo hotel with FiscoraService.exe of the windows preset
# (scripts/windows.sh demo builds it) as a service of wine's control manager, in
# build/windows-demo-run; POS checks are not expanded there (see ServiceFolder::Configure).
if [ "${1:-}" = "windows" ]; then
    shift
    exec build/release/tools/demo/fiscora_demo --work build/windows-demo-run \
        --program build/windows/FiscoraService.exe "$@"
fi
if [ "${1:-}" = "czech" ]; then
    shift
    exec build/release/tools/demo/fiscora_demo --work build/release/demo-run-czech --czech "$@"
fi
# "scripts/demo.sh mongolia" runs it with the Mongolian tax service (printer type 9) against the
# tax-service simulator, then refunds two of its bills (in build/release/demo-run-mongolia).
if [ "${1:-}" = "mongolia" ]; then
    shift
    exec build/release/tools/demo/fiscora_demo --work build/release/demo-run-mongolia --mongolia "$@"
fi
if [ "${1:-}" = "suite8" ]; then
    shift
    exec tools/check_db_sim/private_net.sh build/release/tools/demo/fiscora_demo --work build/release/demo-run-suite8 \
        --hotel suite8 "$@"
fi
exec tools/check_db_sim/private_net.sh build/release/tools/demo/fiscora_demo --work build/release/demo-run "$@"
