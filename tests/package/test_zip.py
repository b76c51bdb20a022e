#!/usr/bin/env python3
"""End-to-end test of Nimbrel-<version>-win64.zip under Wine.

The zip holds exactly the five shipped files. Unpacked into a folder whose path holds spaces and non-ASCII
letters, the program starts, docks at the top edge and writes its default Nimbrel.Txt there; its Help button opens
the nimbrel.pdf of that folder; started again with a settings file asking for the left edge, it docks there.
"""

import argparse
import os
import zipfile

from nimbrelbar import Bar
from winesession import WineSession, check, expected_file_version, pe_file_version, run_main, same_path, wait_for

SHIPPED = {'Nimbrel.exe', 'nimbrel.pdf', 'README.txt', 'LICENSE.txt', 'CREDITS.txt'}
DEFAULT_SETTINGS = b'TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\nSTYLE=1\r\n'
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

    with WineSession('zip') as session:
        folder = session.drive_c.joinpath(*FOLDER)
        os.makedirs(folder)
        with zipfile.ZipFile(args.zip) as archive:
            archive.extractall(folder)
        windows_folder = session.windows_path(folder)
        print('unpacked into', windows_folder)
        check('Été' in windows_folder, 'the Windows path lost its accented letters: %r' % windows_folder)

        bar = Bar(session)
        settings = os.path.join(folder, 'Nimbrel.Txt')

        # First start: no settings file yet.
        program, docked, content = bar.start_docked_at_top(folder)
        check(content == DEFAULT_SETTINGS, 'unexpected default settings file: %r' % content)

        bar.click(bar.help_button())
        documents = wait_for(session.opened, 20)
        check(documents, 'the Help button opened no PDF document')
        argument, path, pdf = documents[-1]
        print('pdf handler got:', documents[-1])
        expected = windows_folder + '/nimbrel.pdf'
        check(same_path(argument, expected), 'Help opened %r, expected %r' % (argument, expected))
        check(pdf, 'not the shipped PDF: %r' % (documents[-1],))
        bar.exit_by_button(program)
        session.server('-w', timeout=60)

        # Second start: the settings file of that folder moves the bar to the left edge.
        with open(settings, 'wb') as f:
            f.write(b'TOOLBAR_POSITION=LEFT\r\nPOINTER_POSITION=LEFT\r\nSTYLE=3\r\n')
        session.move_pointer(2, 1000)
        program = session.start(os.path.join(folder, 'Nimbrel.exe'))
        bar.find_window()
        docked = bar.wait_docked('LEFT', 10)
        check(docked, 'with TOOLBAR_POSITION=LEFT the bar did not dock at the left edge: %r' % (bar.geometry(),))
        print('docked at', docked)
        with open(settings, 'rb') as f:
            check(f.read().startswith(b'TOOLBAR_POSITION=LEFT'), 'the program rewrote an existing settings file')
        bar.exit_by_button(program, edge='LEFT')
    print('PASS')
    return 0


if __name__ == '__main__':
    run_main(main)
