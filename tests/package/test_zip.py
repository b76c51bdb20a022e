#!/usr/bin/env python3
"""End-to-end test of Nimbrel-<version>-win64.zip under Wine.

The zip holds exactly the five shipped files. Unpacked into a folder whose path holds spaces and non-ASCII
letters, the program starts, docks at the top edge and writes its default Nimbrel.Txt there; its Help button opens
the nimbrel.pdf of that folder; started again with a settings file asking for the left edge, it docks there.
"""

import argparse
import os
import zipfile

from packages import (DEFAULT_SETTINGS, check, exit_bar, expected_file_version, help_opens, package_bar,
                      pe_file_version, run_main, start_docked, windows_path)

SHIPPED = {'Nimbrel.exe', 'nimbrel.pdf', 'README.txt', 'LICENSE.txt', 'CREDITS.txt'}
FOLDER = ['users', 'Public', 'Mes Programmes Été', 'Nimbrel']


def check_archive(path):
    with zipfile.ZipFile(path) as archive:
        names = set(archive.namelist())
        check(names == SHIPPED, 'the zip holds %r, expected %r' % (sorted(names), sorted(SHIPPED)))
        for name in ('README.txt', 'LICENSE.txt', 'CREDITS.txt'):
            text = archive.read(name)
            check(text and b'\n' not in text.replace(b'\r\n', b''), '%s has not Windows line ends only' % name)
        check(b'MIT License' in archive.read('LICENSE.txt'), 'LICENSE.txt is not the MIT licence')
        check(archive.read('nimbrel.pdf').startswith(b'%PDF-'), 'nimbrel.pdf is no PDF')
        exe = archive.read('Nimbrel.exe')
        check(exe.startswith(b'MZ'), 'Nimbrel.exe is no Windows program')
        # Stripped: the debug information stays in Nimbrel.exe.debug in the build folder.
        check(b'.debug_' not in exe, 'Nimbrel.exe carries debug sections')
        name = os.path.basename(path)
        check(name.startswith('Nimbrel-') and name.endswith('-win64.zip'), 'unexpected zip name %s' % name)
        version = name[len('Nimbrel-'):-len('-win64.zip')]
        found = pe_file_version(exe)
        check(found == expected_file_version(version),
              'Nimbrel.exe carries file version %r, the package is %s' % (found, version))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--zip', required=True)
    args = parser.parse_args()
    check(os.path.isfile(args.zip), 'no zip at %s' % args.zip)
    check_archive(args.zip)

    with package_bar('zip', None) as bar:
        folder = bar.drive_c.joinpath(*FOLDER)
        os.makedirs(folder)
        with zipfile.ZipFile(args.zip) as archive:
            archive.extractall(folder)
        bar.folder = windows_path(bar, folder)
        print('unpacked into', bar.folder)
        check('Été' in bar.folder, 'the Windows path lost its accented letters: %r' % bar.folder)

        # First start: no settings file yet.
        content = start_docked(bar)
        check(content == DEFAULT_SETTINGS, 'unexpected default settings file: %r' % content)
        help_opens(bar, bar.folder)
        exit_bar(bar)
        bar.server('-w', timeout=60)

        # Second start: the settings file of that folder moves the bar to the left edge.
        bar.put('Nimbrel.Txt', b'TOOLBAR_POSITION=LEFT\r\nPOINTER_POSITION=LEFT\r\nSTYLE=3\r\n')
        bar.edge = 'LEFT'
        bar.launch()
        bar.wait_docked(recalled=False, timeout=10)
        check(bar.settings_bytes().startswith(b'TOOLBAR_POSITION=LEFT'), 'the bar rewrote an existing settings file')
        exit_bar(bar)
    print('PASS')
    return 0


if __name__ == '__main__':
    run_main(main)
