# SPDX-License-Identifier: GPL-3.0-or-later
"""Samba's own Registry.pol parser, for the tests.

gp_pol.py read FILE        prints the records as Samba's GPPolParser reads them, one JSON list
gp_pol.py write XML FILE   writes FILE from GPPolParser's XML form, as Samba does
gp_pol.py probe            exits 0 when Samba's parser can be imported
"""
import base64
import json
import sys
import xml.etree.ElementTree as ElementTree

from samba.gp_parse.gp_pol import GPPolParser
from samba.dcerpc import misc


def value_of(entry):
    if entry.type in (misc.REG_DWORD, misc.REG_DWORD_BIG_ENDIAN, misc.REG_QWORD):
        return entry.data
    if entry.type in (misc.REG_SZ, misc.REG_EXPAND_SZ):
        return entry.data
    data = entry.data
    if data is None:
        return ''
    if isinstance(data, list):
        data = bytes(data)
    return base64.b64encode(bytes(data)).decode('ascii')


def read(path):
    parser = GPPolParser()
    with open(path, 'rb') as f:
        parser.parse(f.read())
    records = [{'key': e.keyname, 'name': e.valuename, 'type': e.type, 'value': value_of(e)}
               for e in parser.pol_file.entries]
    if parser.pol_file.header.signature != 'PReg' or parser.pol_file.header.version != 1:
        sys.exit('bad header')
    json.dump(records, sys.stdout)


def write(xml_path, path):
    parser = GPPolParser()
    parser.load_xml(ElementTree.parse(xml_path).getroot())
    parser.write_binary(path)


if __name__ == '__main__':
    if sys.argv[1] == 'read':
        read(sys.argv[2])
    elif sys.argv[1] == 'write':
        write(sys.argv[2], sys.argv[3])
