# SPDX-License-Identifier: GPL-3.0-or-later
"""Samba's Firefox and smb.conf client extensions on a test folder instead of a joined machine.

template_client.py CLIENT GUID POL

CLIENT is made on first use: a throwaway smb.conf whose cache and state directories lie in it (the
smb.conf extension rewrites that file), the client's GPO cache and log (gpo.tdb) there too, and
firefox/ for the policies.json the Firefox extension writes. POL is the GPO's Machine/Registry.pol,
staged where samba-gpupdate leaves what it fetched; then both extensions apply the GPO.
"""
import os
import shutil
import sys

from samba.gp.gp_firefox_ext import gp_firefox_ext
from samba.gp.gp_smb_conf_ext import gp_smb_conf_ext
from samba.gp.gpclass import GPOStorage, get_deleted_gpos_list
from samba.param import LoadParm

REALM = 'tavimor.test'
MACHINE = 'CLIENT$'


class Gpo:
    """What the extensions read of a GPO from the directory's list."""

    def __init__(self, guid):
        self.name = guid
        self.file_sys_path = '\\\\%s\\sysvol\\%s\\Policies\\%s' % (REALM, REALM, guid)


def main(folder, guid, pol):
    for sub in ('cache', 'state', 'firefox'):
        os.makedirs(os.path.join(folder, sub), exist_ok=True)
    conf = os.path.join(folder, 'smb.conf')
    if not os.path.exists(conf):
        with open(conf, 'w') as f:
            f.write('[global]\n\trealm = %s\n\tcache directory = %s\n\tstate directory = %s\n' %
                    (REALM.upper(), os.path.join(folder, 'cache'), os.path.join(folder, 'state')))
    lp = LoadParm()
    lp.load(conf)
    store = GPOStorage(os.path.join(folder, 'cache', 'gpo.tdb'))
    staged = os.path.join(lp.cache_path('gpo_cache'), REALM.upper(), 'POLICIES', guid, 'MACHINE')
    os.makedirs(staged, exist_ok=True)
    shutil.copyfile(pol, os.path.join(staged, 'REGISTRY.POL'))
    gpos = [Gpo(guid)]
    deleted = get_deleted_gpos_list(store.get_gplog(MACHINE), gpos)
    store.start()
    firefox = gp_firefox_ext(lp, None, MACHINE, store)
    # The extension also writes to a fixed folder of the machine; here both are the test's.
    target = os.path.join(folder, 'firefox')
    firefox._gp_firefox_ext__firefox_installdir1 = target
    firefox._gp_firefox_ext__destfile1 = os.path.join(target, 'policies.json')
    firefox.process_group_policy(deleted, gpos, target)
    gp_smb_conf_ext(lp, None, MACHINE, store).process_group_policy(deleted, gpos)
    store.commit()


if __name__ == '__main__':
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
