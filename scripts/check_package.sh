#!/usr/bin/env bash
# CI: builds the Debian package and checks it: its contents, its unit as systemd reads it
# (verify, and a security exposure of at most 4.0), then installs and removes it on this machine
# when run as root. A machine where systemd does not run (a container) checks all of it too:
# systemd-analyze works offline and the package's scripts leave systemctl alone there.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/package.sh
deb=$(ls build/package/fiscora_*.deb)
fail() { echo "check_package: $*" >&2; exit 1; }

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for path in ./usr/sbin/FiscoraService ./usr/lib/fiscora/libLGXClient.so \
            ./lib/systemd/system/qel-fiscal-service.service ./etc/fiscora/VuvovaZododAVU.xml \
            ./etc/default/fiscora ./usr/share/fiscora/sql/oracle/install_own_tables.sql \
            ./usr/share/fiscora/sql/oracle/upgrade_status_index.sql \
            ./usr/share/fiscora/sql/oracle/grant_opera_access.sql ./usr/share/doc/fiscora/operations.md \
            ./usr/lib/fiscora/fiscora-demo-pms ./usr/lib/fiscora/fiscora-printer-manager-sim; do
    grep -qx "$path" <<<"$contents" || fail "$path is not in $deb"
done
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
for script in ./postinst ./prerm ./postrm ./conffiles; do
    grep -qx "$script" <<<"$control" || fail "$script is not in the control archive"
done
echo "contents: ok ($(stat -c %s "$deb") bytes)"

# The unit as systemd reads it, its program taken from the package.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
sed "s|^ExecStart=/usr/sbin/|ExecStart=$work/root/usr/sbin/|" \
    "$work/root/lib/systemd/system/qel-fiscal-service.service" >"$work/qel-fiscal-service.service"
systemd-analyze verify "$work/qel-fiscal-service.service" || fail "systemd-analyze verify refused the unit"
exposure=$(systemd-analyze security --offline=true "$work/qel-fiscal-service.service" |
           sed -n 's/.*Overall exposure level for qel-fiscal-service.service: \([0-9.]*\).*/\1/p')
[ -n "$exposure" ] || fail "no exposure from systemd-analyze security"
awk -v e="$exposure" 'BEGIN { exit !(e <= 4.0) }' || fail "exposure $exposure is above 4.0"
echo "unit: verified, exposure $exposure"

if [ "$(id -u)" -ne 0 ]; then
    echo "install and removal skipped: not root"
    exit 0
fi
dpkg -i "$deb"
getent passwd fiscora >/dev/null || fail "no user fiscora after the install"
[ "$(stat -c %U:%G:%a /etc/fiscora/VuvovaZododAVU.xml)" = root:fiscora:640 ] ||
    fail "the configuration is not root:fiscora 0640"
[ "$(stat -c %U /var/lib/fiscora)" = fiscora ] || fail "/var/lib/fiscora is not the service's"
/usr/sbin/FiscoraService --version | grep -q "QEL Fiscal Service" || fail "the installed program does not run"
systemd-analyze verify /lib/systemd/system/qel-fiscal-service.service || fail "the installed unit does not verify"
# The sample configuration names a demo database that is not there: down, the reason given.
set +e
/usr/sbin/FiscoraService status >"$work/status" 2>&1
verdict=$?
set -e
[ "$verdict" -eq 2 ] && grep -q "PMS database: unreachable" "$work/status" ||
    fail "status of the fresh install: exit $verdict, $(cat "$work/status")"
dpkg -r fiscora
[ ! -e /usr/sbin/FiscoraService ] || fail "the program is still there after the removal"
[ -e /etc/fiscora/VuvovaZododAVU.xml ] || fail "the removal took the configuration"
dpkg -P fiscora
[ ! -e /etc/fiscora/VuvovaZododAVU.xml ] || fail "the purge left the configuration"
echo "install, status, remove, purge: ok"
