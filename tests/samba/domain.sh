# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the domain tests: a throwaway Samba AD domain (TAVIMOR.TEST) provisioned in a temporary
# folder, served by a samba on the loopback only, and one GPO "Tavimor Test" made by samba-tool.
# Leaves work, dom, sysvol, guid, folder (the GPO's SYSVOL folder), sam and admin (samba-tool's
# options) set, and fail() to end the test; samba stops and the folder goes at exit. Exits 77
# (skipped) without Samba or root.
for tool in samba samba-tool ldbsearch ldbmodify; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup.sh installs Samba)"; exit 77; }
done
[ -d /usr/share/samba/setup/ad-schema ] || { echo "SKIP: samba-ad-provision is not installed"; exit 77; }
[ "$(id -u)" = 0 ] || { echo "SKIP: a Samba domain controller runs as root only"; exit 77; }

work=$(mktemp -d)
samba_pid=""
stop() {
    if [ -n "$samba_pid" ]; then
        kill -TERM -- "-$samba_pid" 2>/dev/null
        for _ in $(seq 50); do kill -0 "$samba_pid" 2>/dev/null || break; sleep 0.2; done
        kill -KILL -- "-$samba_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap stop EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/samba.log" ] && tail -20 "$work/samba.log" >&2
    exit 1
}
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
export TAVIMOR_TARGET="file:$work/registry.reg"
unset TAVIMOR_PASSWORD
dom="$work/dom"
password='Tavimor-Test-1'
admin=(-U "Administrator%$password" --use-kerberos=off -s "$dom/etc/smb.conf")

SECONDS=0
samba-tool domain provision --use-rfc2307 --realm=TAVIMOR.TEST --domain=TAVIMOR --server-role=dc \
    --dns-backend=NONE --adminpass="$password" --targetdir="$dom" --host-ip=127.0.0.1 \
    --option="interfaces=lo" --option="bind interfaces only=yes" \
    --option="log file=$work/log.%m" >"$work/provision.log" 2>&1 || { tail -20 "$work/provision.log"; fail "provision"; }
echo "provisioned in ${SECONDS}s"

# A process group of its own, so that every child it starts is stopped with it.
setsid samba -i -M single -s "$dom/etc/smb.conf" >"$work/samba.log" 2>&1 &
samba_pid=$!
for _ in $(seq 60); do
    samba-tool gpo listall -H ldap://127.0.0.1 "${admin[@]}" >/dev/null 2>&1 && break
    kill -0 "$samba_pid" 2>/dev/null || fail "samba ended"
    sleep 1
done
created=""
for _ in 1 2 3; do
    created=$(samba-tool gpo create "Tavimor Test" -H ldap://127.0.0.1 "${admin[@]}" 2>&1) && break
    sleep 2
done
guid=$(echo "$created" | grep -o '{[0-9A-F-]*}$') || fail "gpo create: $created"
echo "samba up and GPO $guid made at ${SECONDS}s"

sysvol="$dom/state/sysvol"
folder="$sysvol/tavimor.test/Policies/$guid"
sam="ldb://$dom/private/sam.ldb"
