#!/usr/bin/env python3
"""The release is reproducible: one commit, built twice, gives the same bytes.

    test_reproducible.py --source CHECKOUT [--commit REV] [--work DIR] [--keep]

Clones the commit (HEAD by default) twice, into folders of different names and depths, and builds the release in
each (Nimbrel.exe, nimbrel.pdf, the zip, the installer and SHA256SUMS) with different time zones, locales, umasks
and home folders; as root, the second build runs as the user "nobody". SOURCE_DATE_EPOCH is left unset, so both
take the commit's time. Prints the checksums and fails on any difference. Uncommitted changes are not built.
"""

import argparse
import hashlib
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77


def sha256(path):
    with open(path, 'rb') as f:
        return hashlib.sha256(f.read()).hexdigest()


def release_files(tree, version):
    build = os.path.join(tree, 'build', 'windows')
    release = os.path.join(build, 'release')
    return {
        'Nimbrel.exe': os.path.join(build, 'packaging', 'stage', 'Nimbrel.exe'),
        'nimbrel.pdf': os.path.join(build, 'nimbrel.pdf'),
        'Nimbrel-%s-win64.zip' % version: os.path.join(release, 'Nimbrel-%s-win64.zip' % version),
        'Nimbrel-%s-setup.exe' % version: os.path.join(release, 'Nimbrel-%s-setup.exe' % version),
        'SHA256SUMS': os.path.join(release, 'SHA256SUMS'),
    }


def build(tree, environment, user, umask, log_path):
    env = {key: value for key, value in os.environ.items() if not key.startswith(('LC_', 'SOURCE_DATE_EPOCH'))}
    env.update(environment)
    commands = [['cmake', '--preset', 'windows', '-DBUILD_TESTING=OFF'],
                ['cmake', '--build', '--preset', 'windows', '--target', 'package-release']]
    prefix = []
    if user is not None:
        prefix = ['setpriv', '--reuid=%d' % user.pw_uid, '--regid=%d' % user.pw_gid, '--clear-groups', '--']
    started = time.monotonic()
    with open(log_path, 'wb') as log:
        for command in commands:
            result = subprocess.run(prefix + command, cwd=tree, env=env, stdout=log, stderr=subprocess.STDOUT,
                                    preexec_fn=lambda: os.umask(umask))
            if result.returncode != 0:
                return False, time.monotonic() - started
    return True, time.monotonic() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--source', required=True)
    parser.add_argument('--commit', default='HEAD')
    parser.add_argument('--work')
    parser.add_argument('--keep', action='store_true')
    args = parser.parse_args()
    for tool in ('git', 'cmake', 'makensis', 'groff'):
        if shutil.which(tool) is None:
            print('SKIP: %s is missing' % tool)
            return SKIP
    found = subprocess.run(['git', '-C', args.source, 'rev-parse', '--verify', args.commit + '^{commit}'],
                           capture_output=True, text=True)
    if found.returncode != 0:
        print('SKIP: %s is not a git checkout with %s' % (args.source, args.commit))
        return SKIP
    commit = found.stdout.strip()
    dirty = subprocess.run(['git', '-C', args.source, 'status', '--porcelain', '--untracked-files=no'],
                           capture_output=True, text=True).stdout.strip()
    if dirty:
        print('note: the checkout has uncommitted changes; the commit %s is built without them' % commit[:12])

    nobody = None
    if os.geteuid() == 0 and shutil.which('setpriv'):
        try:
            nobody = pwd.getpwnam('nobody')
        except KeyError:
            pass
    work = tempfile.mkdtemp(prefix='nimbrel-reproducible-', dir=args.work)
    os.chmod(work, 0o755)  # the other user reaches its folder through it
    builds = [
        ('first', os.path.join(work, 'a'), {'TZ': 'UTC', 'LANG': 'C.UTF-8'}, None, 0o022),
        ('second', os.path.join(work, 'another folder', 'zweiter Bau'),
         {'TZ': 'Pacific/Kiritimati', 'LANG': 'de_DE.UTF-8', 'LC_ALL': 'de_DE.UTF-8'}, nobody, 0o077),
    ]
    try:
        results = []
        for name, tree, environment, user, umask in builds:
            os.makedirs(os.path.dirname(tree), exist_ok=True)
            subprocess.run(['git', 'clone', '--quiet', '--shared', '--no-checkout', args.source, tree], check=True)
            subprocess.run(['git', '-C', tree, 'checkout', '--quiet', '--detach', commit], check=True)
            home = os.path.join(work, name + '-home')
            os.makedirs(home)
            environment = dict(environment, HOME=home)
            if user is not None:
                subprocess.run(['chown', '-R', '%d:%d' % (user.pw_uid, user.pw_gid), tree, home], check=True)
            who = user.pw_name if user is not None else pwd.getpwuid(os.geteuid()).pw_name
            print('%s build in %r as %s, umask %03o, %s' % (name, tree, who, umask, environment), flush=True)
            log_path = os.path.join(work, name + '-build.log')
            ok, seconds = build(tree, environment, user, umask, log_path)
            if not ok:
                with open(log_path, 'rb') as log:
                    sys.stdout.write(log.read()[-4000:].decode(errors='replace'))
                print('FAIL: the %s build failed' % name)
                return 1
            print('  built in %.0f s' % seconds, flush=True)
            results.append(tree)

        version = subprocess.run(['sed', '-n', r's/^project(Nimbrel VERSION \([0-9.]*\).*/\1/p',
                                  os.path.join(results[0], 'CMakeLists.txt')],
                                 capture_output=True, text=True, check=True).stdout.strip()
        first, second = release_files(results[0], version), release_files(results[1], version)
        differ = []
        for name in first:
            a, b = sha256(first[name]), sha256(second[name])
            print('%-26s %s %s' % (name, a, 'same' if a == b else 'DIFFERS: ' + b))
            if a != b:
                differ.append(name)
        if differ:
            print('FAIL: %s differ between the two builds of %s' % (', '.join(differ), commit[:12]))
            return 1
        print('PASS: both builds of %s are bit for bit the same' % commit[:12])
        return 0
    finally:
        if args.keep:
            print('kept', work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
