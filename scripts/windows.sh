#!/usr/bin/env bash
# The Windows build: FiscoraService.exe and LGXClient.dll cross-built with Debian's mingw-w64 and
# run under Debian's wine64.
#   scripts/windows.sh setup     Debian packages and Debian's sources of pugixml and SQLite
#   scripts/windows.sh build     the windows preset (the programs and the unit suites)
#   scripts/windows.sh test      build, the unit suites under wine, install and remove through
#                                wine's service manager, the demo day registered under wine
#   scripts/windows.sh demo      build, the demo day registered by FiscoraService.exe under wine
#   scripts/windows.sh dist      build, build/windows/FiscoraService-windows.zip
# (e2e and demo-run are the parts of test and demo that run in a private network namespace.)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
third_party=build/third_party
export WINEPREFIX=${WINEPREFIX:-$root/build/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs in a headless prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64

setup() {
    scripts/setup.sh windows
    # apt-get source needs Debian's source lists.
    if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "Debian's source lists (deb-src) are not enabled: run this as root once" >&2
            exit 1
        fi
        # The same places as the package lists, for sources.
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
                >/etc/apt/sources.list.d/fiscora-src.sources
        else
            sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/fiscora-src.list
        fi
        apt-get update >/dev/null
    fi
    # Debian's own sources of what Linux links from packages: pugixml and SQLite (from whose tree
    # the single sqlite3.c is made). GoogleTest's come with the googletest package.
    if [ ! -f $third_party/sqlite3/sqlite3.c ] || ! ls -d $third_party/pugixml-*/src >/dev/null 2>&1; then
        rm -rf $third_party
        mkdir -p $third_party/sqlite3
        (cd $third_party && apt-get source --only-source pugixml sqlite3 >apt-source.log 2>&1) || {
            cat $third_party/apt-source.log >&2
            exit 1
        }
        (cd $third_party/sqlite3 && ../sqlite3-*/configure --disable-tcl >configure.log 2>&1 &&
            make sqlite3.c >make.log 2>&1)
    fi
}

build() {
    setup
    cmake --preset windows >/dev/null
    cmake --build --preset windows
}

# What a bare Windows machine needs of the deliverables: LGXClient.dll exports GetCheck and
# nothing else, and neither program imports a DLL that Windows does not bring itself (the
# compiler's runtime is linked in).
check_binaries() {
    local exports
    exports=$(objdump -p build/windows/LGXClient.dll |
        sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p')
    if [ "$exports" != "GetCheck" ]; then
        echo "LGXClient.dll exports \"$exports\", not GetCheck alone" >&2
        exit 1
    fi
    local program foreign
    for program in build/windows/FiscoraService.exe build/windows/LGXClient.dll; do
        foreign=$(objdump -p "$program" | sed -n 's/^\s*DLL Name: //p' |
            grep -viE '^(kernel32|advapi32|user32|ole32|ws2_32|odbc32|msvcrt)\.dll$' || true)
        if [ -n "$foreign" ]; then
            echo "$program needs $foreign beside it" >&2
            exit 1
        fi
    done
    echo "LGXClient.dll exports GetCheck alone; FiscoraService.exe and LGXClient.dll need Windows only"
}

# Starts the prefix's wineserver and keeps it for every later program, so that each start after
# the first costs seconds, not the prefix's creation. The prefix's system environment holds the
# client library's discovery broadcasts to loopback: a service of wine's control manager gets that
# environment, read when the control manager starts, not the environment of whoever started it.
start_wine() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        $wine wineboot --init >/dev/null 2>&1 || true
    fi
    if ! grep -q '"LGX_BROADCAST_ADDRESS"="127.255.255.255"' "$WINEPREFIX/system.reg"; then
        $wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
            /v LGX_BROADCAST_ADDRESS /d 127.255.255.255 /f >/dev/null 2>&1
        # The control manager reads it at its start; so does the prefix's first start leave a
        # second one behind: start afresh.
        stop_wine
    fi
    # (A server of this prefix that still runs, from an earlier run, is kept.)
    /usr/lib/wine/wineserver -p 2>/dev/null || true
    $wine wineboot >/dev/null 2>&1 || true
    export FISCORA_WINE_LOOPBACK_DISCOVERY=1
    # The prefix's server and its service manager end with this script.
    trap stop_wine EXIT
}

stop_wine() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
}

# The programs that run against the simulators, in a private network namespace where the machine
# allows it (as the Linux demo): the prefix's server starts in it, so that wine's sockets, made by
# that server, are the namespace's too. A server of the prefix outside it is stopped first.
in_private_network() {
    stop_wine
    exec tools/check_db_sim/private_net.sh "$root/scripts/windows.sh" "$@"
}

case "${1:-build}" in
    setup) setup ;;
    build) build ;;
    test)
        build
        check_binaries
        start_wine
        ctest --preset windows
        # Install and remove through wine's service manager and the demo day end to end: a Linux
        # program of the dev preset drives FiscoraService.exe and runs the simulators natively.
        cmake --preset dev >/dev/null
        cmake --build --preset dev --target wine_e2e_test
        trap - EXIT
        in_private_network e2e
        ;;
    e2e)
        start_wine
        FISCORA_SOURCE_DIR=$root FISCORA_WINDOWS_BINARY_DIR=$root/build/windows build/dev/wine_e2e_test
        ;;
    demo)
        build
        shift
        in_private_network demo-run "$@"
        ;;
    demo-run)
        start_wine
        shift
        scripts/demo.sh windows "$@"
        ;;
    dist)
        build
        packaging/windows/make_zip.sh build/windows
        ;;
    *)
        echo "usage: scripts/windows.sh setup|build|test|demo|dist" >&2
        exit 2
        ;;
esac
