#!/usr/bin/env python3
"""End-to-end test of Nimbrel-<version>-setup.exe under Wine.

In a fresh prefix: the silent installer puts every file into %LOCALAPPDATA%\\Programs\\Nimbrel, adds the
Start-menu shortcut and the uninstall entry; the installed program starts, docks at the top edge and writes its
settings file; its Help button opens the installed nimbrel.pdf (seen through a recording PDF handler); Exit ends
it; a second silent install with /AUTOSTART adds the Startup shortcut; the silent uninstaller removes every file,
the settings file, both shortcuts, the uninstall entry and the folder.
"""

import argparse
import os
import time

from packages import (DEFAULT_SETTINGS, SHORTCUT_KEY, check, exit_bar, expected_file_version, help_opens,
                      link_hotkey, package_bar, pe_file_version, pe_version_string, run_main, same_path, shell_folder,
                      start_docked, user_shell_folder, wait_for, windows_path)

SHIPPED = ['Nimbrel.exe', 'nimbrel.pdf', 'README.txt', 'LICENSE.txt', 'CREDITS.txt']
UNINSTALL_KEY = r'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Nimbrel'


def registry_values(bar, key):
    result = bar.wine('reg', 'query', key, check_rc=False)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.splitlines():
        fields = line.strip().split(None, 2)
        if len(fields) >= 2 and fields[1].startswith('REG_'):
            values[fields[0]] = fields[2] if len(fields) == 3 else ''
    return values


def run_installed_program(bar):
    content = start_docked(bar)
    check(content == DEFAULT_SETTINGS, 'unexpected default settings file: %r' % content)
    help_opens(bar, bar.folder)
    exit_bar(bar)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--setup', required=True)
    parser.add_argument('--install-only', action='store_true',
                        help='check install and uninstall only (for a stand-in executable)')
    args = parser.parse_args()
    check(os.path.isfile(args.setup), 'no installer at %s' % args.setup)
    version = expected_file_version(args_version(args.setup))
    with open(args.setup, 'rb') as f:
        found = pe_file_version(f.read())
    check(found == version, 'the installer carries file version %r, expected %r' % (found, version))

    with package_bar('setup', None) as bar:
        setup_copy = bar.drive_c / 'users' / 'Public' / os.path.basename(args.setup)
        with open(args.setup, 'rb') as src, open(setup_copy, 'wb') as dst:
            dst.write(src.read())

        started = time.monotonic()
        bar.wine(setup_copy, '/S', timeout=120)
        print('silent install took %.1f s' % (time.monotonic() - started))

        install_dir = os.path.join(shell_folder(bar, 'LOCALAPPDATA'), 'Programs', 'Nimbrel')
        for name in SHIPPED + ['uninstall.exe']:
            check(os.path.isfile(os.path.join(install_dir, name)), 'the installer did not install %s' % name)
        extra = sorted(set(os.listdir(install_dir)) - set(SHIPPED) - {'uninstall.exe'})
        check(not extra, 'unexpected files installed: %r' % extra)
        with open(os.path.join(install_dir, 'Nimbrel.exe'), 'rb') as f:
            program = f.read()
        found = pe_file_version(program)
        check(args.install_only or found == version,
              'the installed Nimbrel.exe carries file version %r, expected %r' % (found, version))
        with open(args.setup, 'rb') as f:
            setup = f.read()
        for key in ('CompanyName', 'LegalCopyright'):
            names = pe_version_string(program, key), pe_version_string(setup, key)
            check(args.install_only or (names[0] and names[0] == names[1]),
                  '%s: Nimbrel.exe says %r, the installer %r' % (key, names[0], names[1]))
        check(not os.path.exists(os.path.join(install_dir, 'Nimbrel.Txt')), 'the installer wrote a settings file')

        programs = user_shell_folder(bar, 'Programs')
        startup = user_shell_folder(bar, 'Startup')
        start_menu_link = os.path.join(programs, 'Nimbrel.lnk')
        startup_link = os.path.join(startup, 'Nimbrel.lnk')
        check(os.path.isfile(start_menu_link), 'no Start-menu shortcut at %s' % start_menu_link)
        with open(start_menu_link, 'rb') as f:
            link = f.read()
        check('Nimbrel.exe'.encode('utf-16-le') in link or b'Nimbrel.exe' in link,
              'the Start-menu shortcut does not point at Nimbrel.exe')
        check(not os.path.exists(startup_link), 'a plain silent install created the Startup shortcut')
        check(link_hotkey(start_menu_link) == SHORTCUT_KEY,
              'the Start-menu shortcut has the key %#06x, not Ctrl+Shift+Alt+B' % link_hotkey(start_menu_link))

        values = registry_values(bar, UNINSTALL_KEY)
        check(values is not None, 'no uninstall entry under %s' % UNINSTALL_KEY)
        print('uninstall entry:', values)
        check(values.get('DisplayName') == 'Nimbrel', 'DisplayName is %r' % values.get('DisplayName'))
        check(values.get('DisplayVersion') == args_version(args.setup), 'DisplayVersion is %r' %
              values.get('DisplayVersion'))
        uninstaller = windows_path(bar, os.path.join(install_dir, 'uninstall.exe'))
        check(same_path(values.get('UninstallString', '').strip('"'), uninstaller),
              'UninstallString is %r' % values.get('UninstallString'))

        if args.install_only:
            print('install-only: the installed program is not started')
            open(os.path.join(install_dir, 'Nimbrel.Txt'), 'wb').write(DEFAULT_SETTINGS)
        else:
            bar.folder = windows_path(bar, install_dir)
            run_installed_program(bar)

        # Second install over the first, asking for the Startup shortcut; the settings file must survive it.
        bar.wine(setup_copy, '/S', '/AUTOSTART', timeout=120)
        check(os.path.isfile(startup_link), '/AUTOSTART did not create the Startup shortcut')
        check(link_hotkey(startup_link) == 0, 'the Startup shortcut has a key as well')
        check(os.path.isfile(os.path.join(install_dir, 'Nimbrel.Txt')), 'reinstalling removed Nimbrel.Txt')

        bar.wine(os.path.join(install_dir, 'uninstall.exe'), '/S', timeout=60)
        # The uninstaller runs on from a copy of itself in %TEMP%; wait for it to finish its work.
        gone = wait_for(lambda: not os.path.exists(install_dir), 60, interval=0.5)
        left = os.listdir(install_dir) if os.path.exists(install_dir) else []
        check(gone, 'the uninstaller left the folder with %r' % left)
        bar.server('-w', timeout=60)
        check(not os.path.exists(start_menu_link), 'the uninstaller left the Start-menu shortcut')
        check(not os.path.exists(startup_link), 'the uninstaller left the Startup shortcut')
        check(registry_values(bar, UNINSTALL_KEY) is None, 'the uninstaller left its registry entry')
    print('PASS')
    return 0


def args_version(setup_path):
    """The version in the installer's file name, Nimbrel-<version>-setup.exe."""
    name = os.path.basename(setup_path)
    check(name.startswith('Nimbrel-') and name.endswith('-setup.exe'), 'unexpected installer name %s' % name)
    return name[len('Nimbrel-'):-len('-setup.exe')]


if __name__ == '__main__':
    run_main(main)
