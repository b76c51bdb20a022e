#!/usr/bin/env python3
"""Installing over a running bar, and uninstalling it, under Wine.

In a fresh prefix: install silently and start the bar; install the same version silently over it (the running bar
ends, the new exe runs); build a newer installer (version 1.0.1) from the same staged files, install it over the
running bar (it ends, the new exe runs); put a stand-in for 1.0.0 (a bar window that ends only on WM_CLOSE) in
place of Nimbrel.exe, start it and install over it (it ends, the real bar runs); the user's Links folder, planted after
the first install, comes through every upgrade as it was. Start a copy from another folder and uninstall silently
while the installed bar runs (it ends, nothing but Links is left of the install folder, the copy in the other folder
runs on); install again and uninstall with /S /REMOVELINKS (nothing is left).
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import tempfile

from packages import (SHORTCUT_KEY, bar_buttons, check, exit_bar, link_hotkey, package_bar, run_main, shell_folder,
                      start_docked, user_shell_folder, wait_for, windows_path)

UNINSTALL_KEY = r'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Nimbrel'


def digest(path):
    with open(path, 'rb') as f:
        return hashlib.sha256(f.read()).hexdigest()


def alive(pid):
    try:
        with open('/proc/%d/stat' % pid) as f:
            return f.read().split(') ', 1)[1][:1] not in ('Z', 'X')
    except (OSError, IndexError):
        return False


def running_bars(bar):
    """{Unix pid: the Windows program path} of every process that has a window titled "Nimbrel"."""
    bars = {}
    for window in bar.windows('Nimbrel'):
        pid = bar.pid_of(int(window))
        if pid is None or not alive(pid):
            continue
        with open('/proc/%d/cmdline' % pid, 'rb') as f:
            program = f.read().split(b'\0')[0].decode(errors='replace')
        # Started from here it carries the Unix path it was given, started by the installer a Windows one.
        bars[pid] = windows_path(bar, program) if program.startswith('/') else program
    return bars


def in_folder(program, folder_windows):
    return program.lower().replace('/', '\\').startswith(folder_windows.lower().rstrip('\\') + '\\')


def install_over_running_bar(bar, setup, install_windows, what):
    """Runs setup silently while a bar runs from the install folder; returns the pid of the bar that runs after."""
    # xdotool's search gives nothing when a window goes while it looks: ask again for a while.
    before = wait_for(lambda: [pid for pid, program in running_bars(bar).items() if in_folder(program, install_windows)],
                      10)
    check(before, '%s: no bar runs from %s before the install: %r' % (what, install_windows, running_bars(bar)))
    # Not through a pipe: the bar that the installer starts would hold it open.
    result = subprocess.run(['wine', setup, '/S'], env=bar.env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=120)
    check(result.returncode == 0, '%s: the installer failed (%d)' % (what, result.returncode))
    check(wait_for(lambda: not any(alive(pid) for pid in before), 10), '%s: the running bar did not end' % what)

    def restarted():
        now = [pid for pid, program in running_bars(bar).items() if in_folder(program, install_windows)]
        return now if now and not set(now) & set(before) else None

    now = wait_for(restarted, 20)
    check(now and len(now) == 1, '%s: the installer did not start the new bar again: %r' % (what,
                                                                                          running_bars(bar)))
    print('%s: bar %r ended, bar %d runs' % (what, before, now[0]))
    return now[0]


def install_interactively(bar, setup, install_windows):
    """Runs setup with its pages driven by the keyboard over a running bar: Next, I Agree, Next, Install, then Finish
    with "Start Nimbrel now" checked. Exactly one bar runs after it, and it is started once: a second start would
    be a call by the keyboard, which keeps the bar docked with the pointer away."""
    before = [pid for pid, program in running_bars(bar).items() if in_folder(program, install_windows)]
    bar.move_pointer(*bar.away)
    installer = bar.start(setup)
    bar.wait_until('the installer\'s window', lambda: bar.windows('Nimbrel 1.0.1 Setup', installer.pid), 30, 0.5)
    for page in ('Welcome', 'License', 'Components', 'Directory'):
        bar.keys('Return')
        print('page passed:', page)
    check(wait_for(lambda: not any(alive(pid) for pid in before), 30), 'interactive: the running bar did not end')
    # The files go in once the bar has ended, and the finish page follows by itself.
    bar.stays('the installer at work', lambda: installer.poll() is None, 3.0)
    bar.keys('Return')
    bar.wait_until('the installer to end', lambda: installer.poll() is not None, 30, 0.5)
    now = wait_for(lambda: [pid for pid, program in running_bars(bar).items() if in_folder(program, install_windows)],
                   20)
    check(now and len(now) == 1, 'interactive: not one bar runs after the install: %r' % running_bars(bar))
    bar.attach()
    bar.wait_parked(timeout=6)
    print('interactive upgrade: one bar started, parked at its first tick with the pointer away')
    bar.recall('TOP')


def newer_installer(makensis, nsi, stage, version, folder):
    out = os.path.join(folder, 'Nimbrel-%s-setup.exe' % version)
    subprocess.run([makensis, '-V2', '-WX', '-INPUTCHARSET', 'UTF8', '-DVERSION=' + version, '-DSTAGE_DIR=' + stage,
                    '-DOUTFILE=' + out, nsi], check=True, stdout=subprocess.DEVNULL)
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--setup', required=True)
    parser.add_argument('--stage', required=True, help='the staged release files the installer was made from')
    parser.add_argument('--nsi', required=True)
    parser.add_argument('--makensis', default='makensis')
    parser.add_argument('--oldbar', required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix='nimbrel-upgrade-')
    try:
        newer = newer_installer(args.makensis, args.nsi, args.stage, '1.0.1', work)
        with package_bar('upgrade', None) as bar:
            setup = bar.drive_c / 'users' / 'Public' / os.path.basename(args.setup)
            shutil.copy(args.setup, setup)
            newer_copy = bar.drive_c / 'users' / 'Public' / os.path.basename(newer)
            shutil.copy(newer, newer_copy)
            bar.wine(setup, '/S', timeout=120)
            install_dir = os.path.join(shell_folder(bar, 'LOCALAPPDATA'), 'Programs', 'Nimbrel')
            bar.folder = install_windows = windows_path(bar, install_dir)
            installed_exe = os.path.join(install_dir, 'Nimbrel.exe')
            # The user's own entries, which no upgrade may touch.
            links = os.path.join(install_dir, 'Links')
            os.makedirs(links)
            planted = os.path.join(links, 'a.lnk')
            with open(planted, 'wb') as f:
                f.write(b'L\0\0\0 a shortcut of the user')
            planted_digest = digest(planted)
            start_docked(bar)

            # The user gave the shortcut a key of their own in its Properties, and later none: upgrades keep it.
            link = os.path.join(user_shell_folder(bar, 'Programs'), 'Nimbrel.lnk')
            check(link_hotkey(link) == SHORTCUT_KEY, 'the first install gave the shortcut %#06x' % link_hotkey(link))
            link_hotkey(link, 0x0354)  # Ctrl+Alt+T
            install_over_running_bar(bar, setup, install_windows, 'same version')
            check(link_hotkey(link) == 0x0354, 'the reinstall replaced the user\'s key with %#06x' % link_hotkey(link))
            link_hotkey(link, 0)
            install_over_running_bar(bar, newer_copy, install_windows, 'newer version')
            check(link_hotkey(link) == 0, 'the upgrade gave back a key the user had removed: %#06x' % link_hotkey(link))
            install_interactively(bar, newer_copy, install_windows)
            version = bar.wine('reg', 'query', UNINSTALL_KEY, '/v', 'DisplayVersion').stdout
            check('1.0.1' in version, 'the newer installer did not register 1.0.1: %r' % version)
            check(digest(installed_exe) == digest(os.path.join(args.stage, 'Nimbrel.exe')),
                  'the installed Nimbrel.exe is not the one that was packed')
            check(os.listdir(links) == ['a.lnk'] and digest(planted) == planted_digest,
                  'the upgrades changed the Links folder: %r' % os.listdir(links))
            print('upgrades kept Links\\a.lnk as it was')

            # A running 1.0.0 knows no "Nimbrel.Exit": the installer's WM_CLOSE ends it.
            bar.attach()
            pids = list(running_bars(bar))
            exit_bar(bar, links=1)
            check(wait_for(lambda: not any(alive(pid) for pid in pids), 10), 'Exit did not end the bar')
            shutil.copy(args.oldbar, installed_exe)
            old = bar.start(installed_exe)
            check(wait_for(lambda: running_bars(bar), 20), 'the 1.0.0 stand-in showed no window')
            install_over_running_bar(bar, setup, install_windows, '1.0.0 running')
            check(old.poll() is not None, 'the 1.0.0 stand-in still runs')
            bar.attach()
            bar_buttons(bar, links=1)  # the real bar, with its toolbar and the planted entry, runs now

            other_dir = bar.drive_c / 'other'
            os.makedirs(other_dir)
            shutil.copy(os.path.join(args.stage, 'Nimbrel.exe'), other_dir)
            other = bar.start(os.path.join(other_dir, 'Nimbrel.exe'))
            check(wait_for(lambda: os.path.exists(os.path.join(other_dir, 'Nimbrel.Txt')), 20),
                  'the copy in another folder did not start')
            installed = [pid for pid, program in running_bars(bar).items()
                         if in_folder(program, install_windows)]
            bar.wine(os.path.join(install_dir, 'uninstall.exe'), '/S', timeout=60)

            def contents():
                return sorted(os.listdir(install_dir)) if os.path.exists(install_dir) else None

            wait_for(lambda: contents() == ['Links'], 60, interval=0.5)
            check(contents() == ['Links'], 'uninstalling while the bar ran left %r, expected only Links' % contents())
            check(os.listdir(links) == ['a.lnk'] and digest(planted) == planted_digest,
                  'the uninstaller changed the Links folder: %r' % os.listdir(links))
            check(not any(alive(pid) for pid in installed), 'the uninstaller left the installed bar running')
            check(other.poll() is None, 'the uninstaller ended the copy in another folder')
            print('uninstalled while running: only Links left; the copy in C:\\other runs on')

            bar.wine(setup, '/S', timeout=120)
            check(digest(planted) == planted_digest, 'installing again changed the Links folder')
            bar.wine(os.path.join(install_dir, 'uninstall.exe'), '/S', '/REMOVELINKS', timeout=60)
            gone = wait_for(lambda: not os.path.exists(install_dir), 60, interval=0.5)
            check(gone, 'uninstalling with /REMOVELINKS left %r' % contents())
            print('uninstalled with /REMOVELINKS: nothing left')
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print('PASS')
    return 0


if __name__ == '__main__':
    run_main(main)
