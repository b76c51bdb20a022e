#!/usr/bin/env python3
"""Checks the built user manual: a real PDF whose text (pdftotext, poppler-utils) holds the title and version,
the three settings keys with their values, the default settings file, the auto-hide timing, the bar's buttons
and menu items, and the catalogue of the nineteen programs with the exact folder and file of each, and the
Office folders searched for Outlook."""

import argparse
import re
import subprocess
import sys

CATALOGUE = [  # menu item, folder below Program Files, executable
    ('Explorer', r'\Internet Explorer' + '\\', 'iexplore.exe'),
    ('Netscape', r'\netscape\netscape browser' + '\\', 'netscape.exe'),
    ('FireFox', r'\Mozilla Firefox' + '\\', 'firefox.exe'),
    ('Opera', r'\opera' + '\\', 'opera.exe'),
    ('Outlook', r'\microsoft office\office' + '\\', 'outlook.exe'),
    ('Express', r'\outlook express' + '\\', 'msimn.exe'),
    ('Eudora', r'\qualcomm\eudora' + '\\', 'eudora.exe'),
    ('Thunderbird', r'\mozilla thunderbird' + '\\', 'thunderbird.exe'),
    ('FileZilla', r'\filezilla' + '\\', 'filezilla.exe'),
    ('SmartFTP', r'\smartftp' + '\\', 'smartftp.exe'),
    ('CoffeeCup', r'\coffeecup software\coffeecup free ftp' + '\\', 'freeftp.exe'),
    ('Skype', r'\skype\phone' + '\\', 'skype.exe'),
    ('MS Messenger', r'\messenger' + '\\', 'msmsgs.exe'),
    ('ICQ', r'\icqlite' + '\\', 'icqlite.exe'),
    ('LimeWire', r'\limewire' + '\\', 'limewire.exe'),
    ('Morpheus', r'\morpheus' + '\\', 'morpheus.exe'),
    ('Google Earth', r'\google\google earth' + '\\', 'googleearth.exe'),
    ('IP Speed Booster', r'\OSS\Internet Booster' + '\\', 'ispbos.exe'),
    ('TellMe(Text-2-Speech)', r'\tellme' + '\\', 'tellme.exe'),
]

BUTTONS = ['Exit', 'Browser', 'Search', 'Mail', 'FTP', 'Messaging', 'P-2-P', 'Programs', 'Internet Connections',
           'Firewall', 'Security', 'Internet Settings', 'About Me', 'Help']

PHRASES = [
    'TOOLBAR_POSITION=TOP', 'POINTER_POSITION=TOP', 'STYLE=1',
    'TOP, RIGHT, BOTTOM, LEFT', 'TOP, BOTTOM, LEFT, RIGHT',
    'Classic', 'Flat', 'Gradient', 'Dark',
    'Nimbrel.Txt', 'nimbrel.pdf', 'up to two seconds', '50 twips', '(no program found)',
    r'%LOCALAPPDATA%\Programs\Nimbrel', r'C:\Program Files\Mozilla Firefox\firefox.exe',
    'office1', 'office99', 'Altavista', 'Yahoo', 'Google', 'http://www.nimbrel.org/',
    'ncpa.cpl', 'firewall.cpl', 'wscui.cpl', 'INETCPL.CPL', 'Uninstalling', 'Troubleshooting',
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('pdf')
    parser.add_argument('--version', required=True)
    args = parser.parse_args()
    failures = []

    with open(args.pdf, 'rb') as f:
        if not f.read(5) == b'%PDF-':
            print('FAIL: %s is not a PDF file' % args.pdf)
            return 1
    info = subprocess.run(['pdfinfo', args.pdf], capture_output=True, text=True, check=True).stdout
    pages = int(re.search(r'^Pages:\s+(\d+)', info, re.M).group(1))
    if pages < 4:
        failures.append('only %d pages' % pages)
    if 'Nimbrel %s User Manual' % args.version not in info:
        failures.append('the document title is not "Nimbrel %s User Manual"' % args.version)

    raw = subprocess.run(['pdftotext', '-layout', args.pdf, '-'], capture_output=True, text=True,
                         check=True).stdout
    # Undo the hyphenation of words at line ends and fold runs of spaces, then search line by line and as a whole.
    text = re.sub(r'-\n\s*', '-', raw)
    flat = re.sub(r'\s+', ' ', text)
    lines = [re.sub(r' {2,}', '  ', line.strip()) for line in raw.splitlines()]

    if 'version %s' % args.version not in flat:
        failures.append('the version %s is not on the title page' % args.version)
    for phrase in PHRASES + BUTTONS:
        if phrase not in flat and phrase.replace('-', '') not in flat.replace('-', ''):
            failures.append('missing text: %r' % phrase)
    settings_rows = {'TOOLBAR_POSITION': 'TOP, RIGHT, BOTTOM, LEFT', 'POINTER_POSITION': 'TOP, BOTTOM, LEFT, RIGHT',
                     'STYLE': '1, 2, 3'}
    for key, values in settings_rows.items():
        row = re.compile(r'^%s\s{2,}%s\s{2,}\S' % (re.escape(key), re.escape(values)))
        if not any(row.match(line) for line in lines):
            failures.append('the settings table has no row "%s | %s"' % (key, values))
    # Each catalogue row: item, folder and executable on one line of the table, in this order.
    for item, folder, exe in CATALOGUE:
        row = re.compile(r'^%s\s{2,}%s\S*\s+%s$' % (re.escape(item), re.escape(folder), re.escape(exe)))
        if not any(row.match(line) for line in lines):
            failures.append('no catalogue row "%s | %s | %s"' % (item, folder, exe))

    for failure in failures:
        print('FAIL:', failure)
    if failures:
        return 1
    print('PASS: %d pages, %d catalogue rows, %d phrases' % (pages, len(CATALOGUE), len(PHRASES) + len(BUTTONS)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
