#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes one help page per catalogue section, listing its restrictions.

Usage: make_help_sections.py CATALOGUE.xml HELP_FOLDER
(The catalogue XML comes from `tavimorctl export-xml tavimor.rds`.)
"""
import html
import re
import sys
import xml.etree.ElementTree as ET

STYLE = ("body { font-family: sans-serif; margin: 12px; } h1 { color: #1c3c7a; font-size: 150%; } "
         "h2 { color: #1c3c7a; font-size: 115%; margin-top: 18px; } p.nav { font-size: 90%; } "
         "table { border-collapse: collapse; } th { background: #dfe7f5; text-align: left; padding: 4px; } "
         "td { border-top: 1px solid #c8d0e0; padding: 4px; vertical-align: top; } "
         "td.reg { font-family: monospace; font-size: 90%; }")

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{title}</title>
<style>{style}</style></head>
<body>
<p class="nav"><a href="index.html">Contents</a> &middot; <a href="main.html">The main window</a></p>
<h1>{title}</h1>
<p>The <b>{section}</b> section holds {count} restrictions. Select the section in the tree of the main
window, then double-click a row (or press Enter) to change it in the Edit Setting dialog.
Restrictions marked <i>restart</i> are shown in red in the list; Windows reads them only when it starts,
so apply them and restart before you check the result.</p>
<table>
<tr><th>Restriction</th><th>What it does when switched on</th><th>Registry value</th></tr>
{rows}
</table>
<p>Every value is written as a REG_DWORD. Most restrictions take 1 to switch on and 0 to switch off;
the drive mask takes one bit for each drive letter (see <a href="drives.html">Hiding drives</a>).</p>
</body></html>
"""


def slug(name):
    return re.sub(r'-+', '-', re.sub(r'[^a-z0-9]', '-', name.strip().lower())).strip('-') + '.html'


def main(catalogue, folder):
    root = ET.parse(catalogue).getroot()
    for section in root.findall('REGISTRYSETTINGS'):
        name = section.get('Section')
        rows = []
        for entry in section.findall('ENTRY'):
            restart = entry.get('Restart') == 'Yes'
            values = entry.find('VALUES')
            kind = values.get('Datatype') if values is not None else ''
            where = '{}\\{}\\<b>{}</b>'.format(html.escape(entry.findtext('KEY')),
                                                html.escape(entry.findtext('PATH')),
                                                html.escape(entry.findtext('REGNAME')))
            notes = ' <i>restart</i>' if restart else ''
            if kind and kind != 'Boolean':
                notes += ' <i>({})</i>'.format(html.escape(kind))
            rows.append('<tr><td>{}{}</td><td>{}</td><td class="reg">{}</td></tr>'.format(
                html.escape(entry.findtext('NAME')), notes, html.escape(entry.findtext('DESCRIPTION')), where))
        title = 'Section: ' + name
        with open(folder + '/' + slug(name), 'w', encoding='utf-8') as out:
            out.write(PAGE.format(style=STYLE, title=html.escape(title), section=html.escape(name), count=len(rows),
                                  rows='\n'.join(rows)))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
