#!/usr/bin/env bash
# The Windows distribution: FiscoraService-windows.zip in the build folder of the windows preset,
# with FiscoraService.exe, LGXClient.dll, the SQL scripts of the own tables, the sample
# configuration and README.txt (the README's section for Windows administrators).
# Usage: packaging/windows/make_zip.sh build/windows
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/windows}
stage=$build/dist/FiscoraService
rm -rf "$build/dist"
mkdir -p "$stage/sql"
cp "$build/FiscoraService.exe" "$build/LGXClient.dll" "$stage/"
cp -r sql/oracle sql/sqlite "$stage/sql/"
cp demo/VuvovaZododAVU.xml "$stage/VuvovaZododAVU.xml.sample"
# The administrators' part of the README, up to the next heading, with Windows line ends.
awk '/^### For Windows administrators/ {on = 1; print; next} on && /^##? / {exit} on {print}' README.md | sed 's/$/\r/' >"$stage/README.txt"
rm -f "$build/FiscoraService-windows.zip"
(cd "$build/dist" && zip -qr ../FiscoraService-windows.zip FiscoraService)
echo "$build/FiscoraService-windows.zip"
