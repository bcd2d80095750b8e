# SPDX-License-Identifier: GPL-3.0-or-later
"""Samba's GNOME client extension on a test folder instead of a joined machine.

gnome_client.py CLIENT GUID POL   the GPO GUID applies, with POL as its Machine/Registry.pol
gnome_client.py CLIENT            no GPO applies any more (unlinked or deleted)

CLIENT is made on first use: a throwaway smb.conf whose cache and state directories lie in it,
the client's GPO cache and log (gpo.tdb) there too, and root/ as the machine's / for the files the
extension writes (root/etc/dconf/...). Each run is what samba-gpupdate does for the computer: the
GPOs that no longer apply are taken back first, then those that do are applied.
"""
import os
import shutil
import sys

from samba.gp.gp_gnome_settings_ext import gp_gnome_settings_ext
from samba.gp.gpclass import GPOStorage, get_deleted_gpos_list
from samba.param import LoadParm

REALM = 'tavimor.test'
MACHINE = 'CLIENT$'


class Gpo:
    """What the extension reads of a GPO from the directory's list."""

    def __init__(self, guid):
        self.name = guid
        self.file_sys_path = '\\\\%s\\sysvol\\%s\\Policies\\%s' % (REALM, REALM, guid)


def client(folder):
    os.makedirs(os.path.join(folder, 'cache'), exist_ok=True)
    os.makedirs(os.path.join(folder, 'state'), exist_ok=True)
    os.makedirs(os.path.join(folder, 'root'), exist_ok=True)
    conf = os.path.join(folder, 'smb.conf')
    if not os.path.exists(conf):
        with open(conf, 'w') as f:
            f.write('[global]\n\trealm = %s\n\tcache directory = %s\n\tstate directory = %s\n' %
                    (REALM.upper(), os.path.join(folder, 'cache'), os.path.join(folder, 'state')))
    lp = LoadParm()
    lp.load(conf)
    return lp, GPOStorage(os.path.join(folder, 'cache', 'gpo.tdb'))


def stage(lp, guid, pol):
    # Where samba-gpupdate leaves what it fetched from SYSVOL: the path after "sysvol", upper-cased.
    path = os.path.join(lp.cache_path('gpo_cache'), REALM.upper(), 'POLICIES', guid, 'MACHINE')
    os.makedirs(path, exist_ok=True)
    shutil.copyfile(pol, os.path.join(path, 'REGISTRY.POL'))


def run(folder, gpos, pol=None):
    lp, store = client(folder)
    if pol:
        stage(lp, gpos[0].name, pol)
    deleted = get_deleted_gpos_list(store.get_gplog(MACHINE), gpos)
    store.start()
    gp_gnome_settings_ext(lp, None, MACHINE, store).process_group_policy(
        deleted, gpos, os.path.join(folder, 'root'))
    store.commit()


if __name__ == '__main__':
    if len(sys.argv) == 4:
        run(sys.argv[1], [Gpo(sys.argv[2])], sys.argv[3])
    elif len(sys.argv) == 2:
        run(sys.argv[1], [])
    else:
        sys.exit(__doc__)
