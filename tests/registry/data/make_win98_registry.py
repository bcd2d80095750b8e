#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes a small Windows 98 USER.DAT and SYSTEM.DAT from the published CREG layout: a 32-byte file
# header, an RGKN block of 28-byte key entries (parent, first child and next sibling offsets, each
# relative to the RGKN block) and one RGDB block with each key's name and values. Checked by
# creginfo and cregexport before any test uses them.
import os
import struct
import sys

REG_SZ, REG_BINARY, REG_DWORD = 1, 3, 4
EXPLORER = ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"

USER = {
    EXPLORER: [(REG_DWORD, "NoRun", struct.pack("<I", 1)),
               (REG_BINARY, "NoClose", struct.pack("<I", 1)),
               (REG_SZ, "NoFind", b"1\0"),
               (REG_SZ, "NoSetFolders", b"0")],  # text without its terminating zero
    ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System":
        [(REG_DWORD, "DisableRegistryTools", struct.pack("<I", 1))],
}
SYSTEM = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion":
        [(REG_SZ, "VersionNumber", b"4.10.2222\0"), (REG_SZ, "Version", b"Windows 98\0")],
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network":
        [(REG_DWORD, "NoFileSharing", struct.pack("<I", 1))],
    "System\\CurrentControlSet\\control\\ComputerName\\ComputerName":
        [(REG_SZ, "ComputerName", b"OLDPC\0")],
}


def key_tree(contents):
    keys = [("ROOT", -1, [])]  # name, parent, values
    index = {"": 0}
    for path, values in contents.items():
        at = ""
        for part in path.split("\\"):
            child = at + "\\" + part if at else part
            if child not in index:
                index[child] = len(keys)
                keys.append((part, index[at], []))
            at = child
        keys[index[path]][2].extend(values)
    return keys


def name_hash(name):
    return sum(c for c in name.upper().encode("ascii") if c < 0x80)


def creg(contents):
    keys = key_tree(contents)
    entry_at = lambda i: 0x20 + i * 28 if i >= 0 else 0xFFFFFFFF
    entries = b""
    for i, (name, parent, _) in enumerate(keys):
        children = [j for j, k in enumerate(keys) if k[1] == i]
        siblings = [j for j, k in enumerate(keys) if k[1] == parent] if parent >= 0 else [i]
        after = siblings[siblings.index(i) + 1:]
        entries += struct.pack("<IIIIIIHH", 0, name_hash(name), 0xFFFFFFFF, entry_at(parent),
                               entry_at(children[0] if children else -1), entry_at(after[0] if after else -1),
                               i, 0)
    rgkn_size = (0x20 + len(entries) + 0xFFF) // 0x1000 * 0x1000
    rgkn = struct.pack("<4sIIIII8x", b"RGKN", rgkn_size, 0x20, len(entries), 0, 0) + entries
    rgkn += b"\0" * (rgkn_size - len(rgkn))

    records = b""
    for i, (name, _, values) in enumerate(keys):
        body = b"".join(struct.pack("<IIHH", t, 0, len(n), len(d)) + n.encode("ascii") + d for t, n, d in values)
        size = 20 + len(name) + len(body)
        records += struct.pack("<IHHIHHI", size, i, 0, size, len(name), len(values), 0) + name.encode("ascii") + body
    rgdb = struct.pack("<4sI24x", b"RGDB", 0x20 + len(records)) + records
    header = struct.pack("<4sHHIIIHH8x", b"CREG", 0, 1, 0x20 + len(rgkn), 0, 1, 0, 1)
    return header + rgkn + rgdb


def main(folder):
    for name, contents in (("USER.DAT", USER), ("SYSTEM.DAT", SYSTEM)):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(creg(contents))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
