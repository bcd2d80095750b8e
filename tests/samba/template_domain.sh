#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Administrative Templates through Group Policy, end to end: Firefox policies from Mozilla's template
# and two smb.conf policies from Debian's samba.admx set with tavimorctl in a settings file, pushed
# to the GPO of domain.sh's throwaway domain, fetched over SMB as a client does, and applied by
# Samba's own Linux client extensions (template_client.py). The policies.json they write must be the
# one Mozilla documents for those policies, and testparm must read the smb.conf values.
# Usage: template_domain.sh TAVIMORCTL PYTHON FIREFOX_TEMPLATES. Exit 77 (skipped) without Samba.
set -u
ctl="$1"
python="$2"
firefox="$3"
here=$(dirname "$0")
samba_admx=/usr/share/samba/admx
[ -f "$samba_admx/samba.admx" ] || { echo "SKIP: $samba_admx/samba.admx is missing (package samba)"; exit 77; }
. "$here/domain.sh"

tavimorctl() { "$ctl" --templates "$firefox" --templates "$samba_admx" "$@"; }
# additional dns hostnames (a text) and bind interfaces only (a boolean) of samba.admx.
dns=fullarmor:POL_33AAE399_07A8_5CC8_882A_393E4B96B259
bind=fullarmor:POL_3CD2A970_826E_518E_B5F0_5E6725FF354D

set_policy() { tavimorctl "$@" >/dev/null || fail "tavimorctl $*"; }
set_policy set machine/firefox:DisablePrivateBrowsing Enabled
set_policy set machine/firefox:HomepageURL Enabled HomepageURL=https://example.com HomepageLocked=true
set_policy set machine/firefox:HomepageAdditional Enabled HomepageAdditional=https://example.org,https://example.edu
set_policy set machine/firefox:HomepageStartPage Enabled StartPage=homepage
set_policy set machine/firefox:Cookies_Behavior Enabled Cookies_Behavior=reject-foreign
set_policy set machine/firefox:Cookies_Locked Enabled
set_policy set machine/firefox:SearchEngines_Remove Enabled SearchEngines_Remove=Google,Bing
set_policy set machine/firefox:ManagedBookmarks Enabled \
    "JSON=$(printf '[\n  {\n    "toplevel_name": "My managed bookmarks folder"\n  },\n  {\n    "url": "example.com",\n    "name": "Example"\n  }\n]')"
set_policy set "$dns" Enabled TXT_F940E18B_16AE_594B_9669_96417E695AC9=files.tavimor.test
set_policy set "$bind" Enabled CHK_5C837672_BFBB_592A_907C_E378BEEDA2E4=true
set_policy save "$work/office.rds"
set_policy unset --all
out=$(tavimorctl gpo push --gpo "Tavimor Test" --sysvol "$sysvol" --from "$work/office.rds" 2>&1) || fail "push: $out"
mkdir -p "$work/fetched"
fetched=$(samba-tool gpo fetch "$guid" -H ldap://127.0.0.1 "${admin[@]}" --tmpdir "$work/fetched" 2>&1) || fail "gpo fetch: $fetched"
pol="$work/fetched/policy/$guid/Machine/Registry.pol"
[ -f "$pol" ] || fail "the fetched GPO has no Machine/Registry.pol"

"$python" "$here/template_client.py" "$work/client" "$guid" "$pol" || fail "Samba's client extensions failed"
json="$work/client/firefox/policies.json"
[ -f "$json" ] || fail "Samba's Firefox extension wrote no policies.json"
# The policies.json forms firefox-policies.md gives for these policies, with the values set above.
"$python" - "$json" <<'PY' || fail "policies.json: $(cat "$json")"
import json
import sys
got = json.load(open(sys.argv[1]))
want = {"policies": {
    "DisablePrivateBrowsing": True,
    "Homepage": {"URL": "https://example.com", "Locked": True,
                 "Additional": ["https://example.org", "https://example.edu"], "StartPage": "homepage"},
    "Cookies": {"Behavior": "reject-foreign", "Locked": True},
    "SearchEngines": {"Remove": ["Google", "Bing"]},
    "ManagedBookmarks": [{"toplevel_name": "My managed bookmarks folder"}, {"url": "example.com", "name": "Example"}],
}}
if got != want:
    sys.exit("policies.json is\n%s\nnot\n%s" % (json.dumps(got, indent=1), json.dumps(want, indent=1)))
PY
conf="$work/client/smb.conf"
got=$(testparm -s --parameter-name="additional dns hostnames" "$conf" 2>/dev/null)
[ "$got" = "files.tavimor.test" ] || fail "testparm says additional dns hostnames = $got: $(cat "$conf")"
got=$(testparm -s --parameter-name="bind interfaces only" "$conf" 2>/dev/null)
[ "$got" = "Yes" ] || fail "testparm says bind interfaces only = $got"
echo "ok in ${SECONDS}s"
