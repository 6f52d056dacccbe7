#!/usr/bin/env bash
# Builds the Debian package build/package/fiscora_<version>_amd64.deb: the program, the client
# library it loads, the SQL scripts, the sample configuration, the systemd unit and the guide.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset package >/dev/null
cmake --build --preset package
cd build/package
rm -f fiscora_*.deb
cpack -G DEB >/dev/null
ls -l fiscora_*.deb
