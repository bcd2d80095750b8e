#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# gpo push and pull against the throwaway Samba AD domain of domain.sh, checked by samba-tool and by
# Samba's GPPolParser.
# Usage: gpo_domain.sh TAVIMORCTL PYTHON GP_POL_HELPER. Exit 77 (skipped) without Samba.
set -u
ctl="$1"
python="$2"
helper="$3"
. "$(dirname "$0")/domain.sh"
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

# The GPO as a registry target: a write raises the version in GPT.INI and in the directory as push does.
out=$("$ctl" --target "gpo:$sysvol?gpo=Tavimor Test" set NoFind 1 2>&1) || fail "set through the gpo: target: $out"
[ "$(version)" = 196609 ] || fail "after a write through the target samba-tool gpo show says version $(version)"
grep -q 'Version=196609' "$folder/GPT.INI" || fail "GPT.INI after the target's write: $(cat "$folder/GPT.INI")"
"$python" "$helper" read "$folder/User/Registry.pol" | grep -q '"name": "NoFind", "type": 4, "value": 1}' ||
    fail "GPPolParser does not read NoFind"
"$ctl" --target "gpo:$sysvol?gpo=$guid" show NoFind | grep -qx 'Current Machine Settings: Disabled (1)' ||
    fail "show through the gpo: target"

# A directory value holding a record of its own goes back as one value: nobody joins Domain Admins.
admins() { ldbsearch -H "$sam" '(cn=Domain Admins)' member 2>/dev/null | grep -c '^member:'; }
members=$(admins)
dn=$(ldbsearch -H "$sam" "(name=$guid)" dn 2>/dev/null | sed -n 's/^dn: //p')
hostile=$(printf '[{A}]\ndn: CN=Domain Admins,CN=Users,DC=tavimor,DC=test\nchangetype: modify\nadd: member\nmember: CN=Guest,CN=Users,DC=tavimor,DC=test' | base64 -w0)
printf 'dn: %s\nchangetype: modify\nreplace: gPCMachineExtensionNames\ngPCMachineExtensionNames:: %s\n' "$dn" "$hostile" |
    ldbmodify -H "$sam" >/dev/null 2>&1 || fail "could not plant the value"
"$ctl" set ClearRecentDocsOnExit 0 >/dev/null
out=$("$ctl" gpo push --gpo "$guid" --sysvol "$sysvol" 2>&1) || fail "push over the planted value: $out"
[ "$(admins)" = "$members" ] || fail "Domain Admins has $(admins) members, not $members"
ldbsearch -H "$sam" "(name=$guid)" gPCMachineExtensionNames 2>/dev/null | grep -q '^gPCMachineExtensionNames:: ' ||
    fail "the planted value lost its lines"

echo "ok in ${SECONDS}s"
