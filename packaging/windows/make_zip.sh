#!/usr/bin/env bash
# The Windows distribution: FiscoraService-windows.zip in the build folder of the windows preset,
# with FiscoraService.exe, LGXClient.dll, the SQL scripts of the own tables, the sample
# configuration and README.txt (packaging/windows/README.txt, plain text with Windows line ends).
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
sed 's/$/\r/' packaging/windows/README.txt >"$stage/README.txt"
rm -f "$build/FiscoraService-windows.zip"
(cd "$build/dist" && zip -qr ../FiscoraService-windows.zip FiscoraService)
echo "$build/FiscoraService-windows.zip"
