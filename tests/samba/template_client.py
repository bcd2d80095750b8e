# SPDX-License-Identifier: GPL-3.0-or-later
"""Samba's Firefox and smb.conf client extensions on a test folder instead of a joined machine.

template_client.py CLIENT GUID POL

CLIENT is made as gnome_client.py makes it (a throwaway smb.conf, which the smb.conf extension
rewrites, with the client's cache, state and GPO log in it), with firefox/ for the policies.json the
Firefox extension writes. POL is the GPO's Machine/Registry.pol, staged where samba-gpupdate leaves
what it fetched; then both extensions apply the GPO.
"""
import os
import sys

from samba.gp.gp_firefox_ext import gp_firefox_ext
from samba.gp.gp_smb_conf_ext import gp_smb_conf_ext
from samba.gp.gpclass import get_deleted_gpos_list

from gnome_client import MACHINE, Gpo, client, stage


def main(folder, guid, pol):
    lp, store = client(folder)
    stage(lp, guid, pol)
    gpos = [Gpo(guid)]
    deleted = get_deleted_gpos_list(store.get_gplog(MACHINE), gpos)
    store.start()
    firefox = gp_firefox_ext(lp, None, MACHINE, store)
    # The extension also writes to a fixed folder of the machine; here both are the test's.
    target = os.path.join(folder, 'firefox')
    os.makedirs(target, exist_ok=True)
    firefox._gp_firefox_ext__firefox_installdir1 = target
    firefox._gp_firefox_ext__destfile1 = os.path.join(target, 'policies.json')
    firefox.process_group_policy(deleted, gpos, target)
    gp_smb_conf_ext(lp, None, MACHINE, store).process_group_policy(deleted, gpos)
    store.commit()


if __name__ == '__main__':
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
