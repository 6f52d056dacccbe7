#!/bin/sh
# Runs a command in a private network namespace with only loopback up, so that the discovery
# broadcasts of the client library's tests cannot leave the test and parallel tests do not share
# ports. Where namespaces are refused the command runs as it is (on loopback addresses only).
if command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1; then
    inner='ip link set lo up && exec "$@"'
    if unshare --net true 2>/dev/null; then
        exec unshare --net sh -c "$inner" sh "$@"
    fi
    if unshare -r --net true 2>/dev/null; then
        exec unshare -r --net sh -c "$inner" sh "$@"
    fi
fi
exec "$@"
