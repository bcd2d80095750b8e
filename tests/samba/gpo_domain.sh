#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# gpo push and pull against a throwaway Samba AD domain: provisioned here, served by a samba on the
# loopback only, the GPO made by samba-tool, checked by samba-tool and by Samba's GPPolParser.
# Usage: gpo_domain.sh TAVIMORCTL PYTHON GP_POL_HELPER. Exit 77 (skipped) without Samba.
set -u
ctl="$1"
python="$2"
helper="$3"
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
version() { samba-tool gpo show "$guid" -H "$sam" 2>/dev/null | sed -n 's/^version *: //p'; }

"$ctl" set NoRun 1 >/dev/null || fail "set NoRun"
"$ctl" set ClearRecentDocsOnExit 1 >/dev/null || fail "set ClearRecentDocsOnExit"
out=$("$ctl" gpo push --gpo "Tavimor Test" --sysvol "$sysvol" 2>&1) || fail "push exited $?: $out"
echo "$out" | grep -q 'GPT.INI version 0 (user 0, machine 0) -> 65537 (user 1, machine 1)' || fail "push printed: $out"
echo "$out" | grep -q 'Directory version of Tavimor Test 0 -> 65537' || fail "push printed: $out"
[ "$(version)" = 65537 ] || fail "samba-tool gpo show says version $(version)"
grep -q 'Version=65537' "$folder/GPT.INI" || fail "GPT.INI: $(cat "$folder/GPT.INI")"
ext=$(ldbsearch -H "$sam" "(name=$guid)" gPCUserExtensionNames gPCMachineExtensionNames 2>/dev/null)
[ "$(echo "$ext" | grep -c '35378EAC-683F-11D2-A89A-0030487E63EF')" = 2 ] || fail "extension names: $ext"

user=$("$python" "$helper" read "$folder/User/Registry.pol") || fail "GPPolParser refused User/Registry.pol"
echo "$user" | grep -q '"name": "NoRun", "type": 4, "value": 1}' || fail "GPPolParser read: $user"
machine=$("$python" "$helper" read "$folder/Machine/Registry.pol") || fail "GPPolParser refused Machine/Registry.pol"
[ "$machine" = '[{"key": "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "name": "ClearRecentDocsOnExit", "type": 4, "value": 1}]' ] ||
    fail "GPPolParser read: $machine"

# What a client gets over SMB from the domain controller.
mkdir -p "$work/fetched"
samba-tool gpo fetch "$guid" -H ldap://127.0.0.1 "${admin[@]}" --tmpdir "$work/fetched" >/dev/null 2>&1 || fail "gpo fetch"
cmp -s "$work/fetched/policy/$guid/User/Registry.pol" "$folder/User/Registry.pol" || fail "fetched file differs"

out=$("$ctl" gpo push --gpo "$guid" --sysvol "$sysvol" 2>&1) || fail "second push: $out"
echo "$out" | grep -q 'GPT.INI version stays 65537' || fail "second push printed: $out"
"$ctl" set NoRun 0 >/dev/null || fail "set NoRun 0"
out=$("$ctl" gpo push --gpo "$guid" --sysvol "$sysvol" 2>&1) || fail "third push: $out"
[ "$(version)" = 131073 ] || fail "after a user change samba-tool gpo show says version $(version)"

"$ctl" set NoRun 1 >/dev/null
out=$("$ctl" gpo pull --gpo "Tavimor Test" --sysvol "$sysvol" "$work/pulled.rds" 2>&1) || fail "pull: $out"
echo "$out" | grep -qx 'Start Menu/Run Dialog: 0' || fail "pull printed: $out"
out=$("$ctl" diff "$folder" 2>&1)
first=$(printf '%s\n' "$out" | head -n 1)
[ "$first" = 'Start Menu/Run Dialog: HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer\NoRun: 1 -> 0 (restart)' ] &&
  [ "$(printf '%s\n' "$out" | grep -c ' -> ')" = 1 ] || fail "diff of the GPO folder printed: $out"

echo "ok in ${SECONDS}s"
