#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# GNOME lock-down through Group Policy, end to end: the shipped template's policies set with
# tavimorctl and pushed to the GPO of domain.sh's throwaway domain, fetched over SMB as a client does,
# applied by Samba's own GNOME client extension (gnome_client.py), the dconf files it writes compiled
# by dconf and read back with gsettings.
# Usage: gnome_domain.sh TAVIMORCTL PYTHON TEMPLATE_FOLDER. Exit 77 (skipped) without Samba or dconf.
set -u
ctl="$1"
python="$2"
templates="$3"
here=$(dirname "$0")
for tool in dconf gsettings; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done
for schema in org.gnome.desktop.lockdown org.gnome.login-screen org.gnome.settings-daemon.plugins.power \
    org.gnome.online-accounts org.gnome.shell; do
    gsettings list-schemas | grep -qx "$schema" ||
        { echo "SKIP: the GSettings schema $schema is not installed (scripts/setup.sh installs it)"; exit 77; }
done
. "$here/domain.sh"

tavimorctl() { "$ctl" --templates "$templates" "$@"; }
push() {
    local out
    out=$(tavimorctl gpo push --gpo "Tavimor Test" --sysvol "$sysvol" 2>&1) || fail "push: $out"
    rm -rf "$work/fetched" && mkdir "$work/fetched"
    samba-tool gpo fetch "$guid" -H ldap://127.0.0.1 "${admin[@]}" --tmpdir "$work/fetched" >/dev/null 2>&1 ||
        fail "gpo fetch"
    pol="$work/fetched/policy/$guid/Machine/Registry.pol"
}
# CLIENT [GPO]: what samba-gpupdate does on that client with the fetched GPO (without: the GPO no
# longer applies), then what dconf update does with the files. Its profile reads the compiled
# database as the system one, behind a user database of its own, so only locks make a key read-only.
client() {
    local c="$work/$1"
    "$python" "$here/gnome_client.py" "$c" ${2:+"$guid" "$pol"} || fail "Samba's GNOME extension failed on $1"
    mkdir -p "$c/root/etc/dconf/db/local.d"
    rm -f "$c/local.db"
    dconf compile "$c/local.db" "$c/root/etc/dconf/db/local.d" || fail "dconf compile on $1"
    printf 'user-db:user\nfile-db:%s\n' "$c/local.db" >"$c/profile"
}
# CLIENT, then lines "SCHEMA KEY|VALUE|WRITABLE" on standard input; an empty VALUE is not checked.
expect() {
    local c="$work/$1" key value writable got
    while IFS='|' read -r key value writable; do
        if [ -n "$value" ]; then
            got=$(DCONF_PROFILE="$c/profile" XDG_CONFIG_HOME="$c/user" GSETTINGS_BACKEND=dconf gsettings get $key)
            [ "$got" = "$value" ] || fail "$1: gsettings get $key says $got, not $value"
        fi
        got=$(DCONF_PROFILE="$c/profile" XDG_CONFIG_HOME="$c/user" GSETTINGS_BACKEND=dconf gsettings writable $key)
        [ "$got" = "$writable" ] || fail "$1: gsettings writable $key says $got, not $writable"
    done
}
locked="org.gnome.desktop.lockdown disable-command-line|true|false
org.gnome.desktop.lockdown disable-printing|true|false
org.gnome.desktop.lockdown disable-save-to-disk|true|false
org.gnome.desktop.lockdown disable-log-out|true|false
org.gnome.desktop.lockdown disable-user-switching|true|false
org.gnome.login-screen enable-fingerprint-authentication|false|false
org.gnome.desktop.input-sources xkb-options|['compose:102']|false
org.gnome.settings-daemon.plugins.power idle-dim|true|false
org.gnome.settings-daemon.plugins.power idle-brightness|20|false
org.gnome.desktop.session idle-delay|uint32 600|false
org.gnome.desktop.background picture-uri||false
org.gnome.desktop.background primary-color||false
org.gnome.desktop.background secondary-color||true
org.gnome.online-accounts whitelisted-providers|['google', 'owncloud']|false
org.gnome.shell enabled-extensions|['one@tavimor.test', 'two@tavimor.test']|false
org.gnome.shell development-tools|false|false"
free=$(echo "$locked" | sed 's/|.*/||true/')
udisks() {
    local policy
    policy=$(ls "$work/$1"/root/etc/share/polkit-1/actions/org.freedesktop.[uU][dD]isks2.policy 2>/dev/null)
    [ -n "$policy" ] || { echo none; return; }
    "$python" - "$policy" <<'PY'
import sys
import xml.etree.ElementTree as ElementTree
action = ElementTree.parse(sys.argv[1]).getroot().find("action[@id='org.freedesktop.udisks2.modify-device']")
print(' '.join(action.find('defaults/' + name).text for name in ('allow_any', 'allow_inactive', 'allow_active')))
PY
}
simple="DisableCommandLine DisablePrinting DisableFileSaving DisableLogout DisableUserSwitching
        DisallowFingerprintLogin DisableRepartitioning LockDownEnabledExtensions"
data="ComposeKey DimScreenWhenIdle LockDownSpecificSettings AllowedOnlineAccounts EnabledExtensions"

# Every policy enabled: each key holds its value and is locked.
client fresh
expect fresh <<<"$free"
for policy in $simple; do
    tavimorctl set "gnome:$policy" Enabled >/dev/null || fail "set $policy Enabled"
done
tavimorctl set gnome:ComposeKey Enabled 'KeyName=The "< >" key' >/dev/null || fail "set ComposeKey"
tavimorctl set gnome:DimScreenWhenIdle Enabled Delay=600 Brightness=20 >/dev/null || fail "set DimScreenWhenIdle"
tavimorctl set gnome:LockDownSpecificSettings Enabled \
    Settings=/org/gnome/desktop/background/picture-uri,/org/gnome/desktop/background/primary-color >/dev/null ||
    fail "set LockDownSpecificSettings"
tavimorctl set gnome:AllowedOnlineAccounts Enabled Providers=google,owncloud >/dev/null || fail "set AllowedOnlineAccounts"
tavimorctl set gnome:EnabledExtensions Enabled Extensions=one@tavimor.test,two@tavimor.test >/dev/null ||
    fail "set EnabledExtensions"
push
client a GPO
expect a <<<"$locked"
[ "$(udisks a)" = "no no yes" ] || fail "udisks2 action defaults: $(udisks a)"
[ "$(cat "$work/a/root/etc/dconf/profile/user")" = "$(printf 'user-db:user\nsystem-db:local')" ] ||
    fail "the dconf profile Samba wrote: $(cat "$work/a/root/etc/dconf/profile/user")"

# Disabled reads as off, and does not stop the extension before the policies still enabled.
for policy in $simple $data; do
    tavimorctl set "gnome:$policy" Disabled >/dev/null || fail "set $policy Disabled"
done
tavimorctl set gnome:DisableCommandLine Enabled >/dev/null || fail "set DisableCommandLine Enabled again"
tavimorctl set gnome:EnabledExtensions Enabled Extensions=three@tavimor.test >/dev/null || fail "set EnabledExtensions again"
push
client b GPO
expect b <<<"$(echo "$free" | grep -v -e disable-command-line -e org.gnome.shell)
org.gnome.desktop.lockdown disable-command-line|true|false
org.gnome.shell enabled-extensions|['three@tavimor.test']|true
org.gnome.shell development-tools|false|true"
[ "$(udisks b)" = none ] || fail "a disabled Disable Repartitioning wrote $(udisks b)"

# Not configured: the GPO holds no GNOME record, and a client applies nothing.
for policy in $simple $data; do
    tavimorctl unset "gnome:$policy" >/dev/null || fail "unset $policy"
done
push
records=$("$python" "$here/gp_pol.py" read "$pol") || fail "GPPolParser refused the pushed Machine/Registry.pol"
case "$records" in *GNOME*) fail "not configured, yet the GPO holds $records" ;; esac
client c GPO
expect c <<<"$free"
# Samba 4.17 takes a GNOME setting back only when its GPO stops applying, not when the GPO changes.
client a GPO
expect a <<<"$locked"
client a
expect a <<<"$free"
[ "$(udisks a)" = none ] || fail "the udisks2 action stayed after the GPO stopped applying"
left=$(find "$work/a/root/etc/dconf/db" -type f)
[ -z "$left" ] || fail "left behind: $left"
echo "ok in ${SECONDS}s"
