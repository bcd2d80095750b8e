#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the smallest NT registry hive from the published regf layout: a 4096-byte base block
# and one 4096-byte hbin holding the root key cell and its security cell. Checked by hivexsh and
# regfinfo before any test uses it.
import struct
import sys

HBIN_SIZE = 4096
ROOT_NAME = b"ROOT"


def sid(authority, *subs):
    return struct.pack("<BB", 1, len(subs)) + struct.pack(">Q", authority)[2:] + b"".join(
        struct.pack("<I", s) for s in subs)


def security_descriptor():
    everyone = sid(1, 0)
    # One ACE: Everyone, full access to the key (KEY_ALL_ACCESS), inherited by sub-keys.
    ace_body = struct.pack("<I", 0xF003F) + everyone
    ace = struct.pack("<BBH", 0, 0x02, 4 + len(ace_body)) + ace_body
    dacl = struct.pack("<BBHHH", 2, 0, 8 + len(ace), 1, 0) + ace
    owner = sid(5, 32, 544)
    group = sid(5, 18)
    header_size = 20
    owner_at = header_size
    group_at = owner_at + len(owner)
    dacl_at = group_at + len(group)
    # Self-relative, DACL present.
    header = struct.pack("<BBHIIII", 1, 0, 0x8004, owner_at, group_at, 0, dacl_at)
    return header + owner + group + dacl


def cell(payload):
    size = (4 + len(payload) + 7) // 8 * 8
    return struct.pack("<i", -size) + payload + b"\0" * (size - 4 - len(payload))


def main(path):
    nk_at = 0x20  # offsets are counted from the start of the first hbin
    descriptor = security_descriptor()
    nk_len = len(cell(b"\0" * (0x4C + len(ROOT_NAME))))
    sk_at = nk_at + nk_len
    nk = struct.pack("<2sHQIIIIIIIIIIIIIIIHH", b"nk", 0x2C, 0, 0, 0xFFFFFFFF, 0, 0,
                     0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFF, sk_at, 0xFFFFFFFF,
                     0, 0, 0, 0, 0, len(ROOT_NAME), 0) + ROOT_NAME
    sk = struct.pack("<2sHIIII", b"sk", 0, sk_at, sk_at, 1, len(descriptor)) + descriptor
    cells = cell(nk) + cell(sk)
    free = HBIN_SIZE - 0x20 - len(cells)
    hbin = struct.pack("<4sIIQQI", b"hbin", 0, HBIN_SIZE, 0, 0, 0) + cells + struct.pack("<i", free)
    hbin += b"\0" * (HBIN_SIZE - len(hbin))

    base = bytearray(4096)
    struct.pack_into("<4sIIQIIIIIII", base, 0, b"regf", 1, 1, 0, 1, 5, 0, 1, nk_at, HBIN_SIZE, 1)
    name = "\\minimal.hiv".encode("utf-16-le")
    base[0x30:0x30 + len(name)] = name
    checksum = 0
    for (word,) in struct.iter_unpack("<I", bytes(base[:508])):
        checksum ^= word
    struct.pack_into("<I", base, 508, checksum)

    with open(path, "wb") as out:
        out.write(bytes(base) + hbin)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "minimal.hiv")
