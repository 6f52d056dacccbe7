#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when they are missing.
# As root it runs apt-get itself; otherwise it prints the line to run and fails.
set -euo pipefail

packages=(
    g++ pkg-config cmake ninja-build
    libpugixml-dev libsqlite3-dev sqlite3 unixodbc-dev unixodbc odbcinst libsqliteodbc libsystemd-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    iproute2 util-linux
    clang libclang-rt-14-dev locales
    systemd dpkg-dev file adduser
)

# The Windows build (scripts/windows.sh): the cross compiler, wine, and what turns Debian's
# SQLite sources into its sqlite3.c.
if [ "${1:-}" = windows ]; then
    packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 tcl make dpkg-dev zip)
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

line="apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run as root: $line" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
