"""A private Wine prefix on a private Xvfb display, for the package tests.

Every session gets a fresh prefix under /tmp and its own X server; close() ends the prefix's wineserver, stops
the X server and removes the prefix. Python 3 standard library only.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def wait_for(predicate, timeout, interval=0.25):
    """Polls predicate until it returns something true; returns that value, or None after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def run_main(main):
    """Runs a test's main: a TestFailure is printed as FAIL and ends the process with 1."""
    try:
        sys.exit(main())
    except TestFailure as failure:
        print('FAIL:', failure)
        sys.exit(1)


def display_taken(number):
    """True while a live X server holds the display; Xvfb itself clears the lock a dead server left behind."""
    lock = '/tmp/.X%d-lock' % number
    try:
        with open(lock) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return os.path.exists(lock)
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


class WineSession:
    def __init__(self, display, name):
        self.display = ':%d' % display
        self.prefix = tempfile.mkdtemp(prefix='nimbrel-%s-' % name, dir='/tmp')
        self.env = dict(os.environ)
        self.env.update({
            'WINEPREFIX': self.prefix,
            'WINEDEBUG': '-all',
            'WINEDLLOVERRIDES': 'mscoree,mshtml=;winemenubuilder.exe=d',
            'DISPLAY': self.display,
            # Wine turns Unix file names and arguments into UTF-16 by the locale: make it UTF-8.
            'LANG': 'C.UTF-8',
            'LC_ALL': 'C.UTF-8',
        })
        self.xvfb = None
        self.programs = []

    # --- life cycle -------------------------------------------------------------------------------------------
    def start(self):
        self.xvfb = self._start_xvfb()
        self.env['DISPLAY'] = self.display
        # Now and then a Wine service crashes while the prefix is first made, and the crash handler keeps the
        # prefix busy for good: the first command after wineboot then never returns. A fresh prefix cures it.
        for attempt in (1, 2):
            try:
                self.run(['wineboot', '-i'], timeout=180)
                # Without a window manager, parked (off-screen) windows would block SetWindowPos for seconds.
                self.wine('reg', 'add', r'HKCU\Software\Wine\X11 Driver', '/v', 'Managed', '/d', 'N', '/f',
                          timeout=60)
                self.run(['wineserver', '-w'], timeout=60)
                return self
            except subprocess.TimeoutExpired:
                if attempt == 2:
                    raise TestFailure('the Wine prefix could not be made twice running')
                print('making the Wine prefix hung; trying a fresh one')
                subprocess.run(['wineserver', '-k'], env=self.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
                shutil.rmtree(self.prefix, ignore_errors=True)
                os.makedirs(self.prefix)

    def _start_xvfb(self):
        """Xvfb on the asked display, or on the first free one of :121-:129 when a live server holds it."""
        wanted = int(self.display[1:])
        for number in [wanted] + list(range(121, 130)):
            if display_taken(number):
                continue
            self.display = ':%d' % number
            xvfb = subprocess.Popen(['Xvfb', self.display, '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            env = dict(self.env, DISPLAY=self.display)
            answers = lambda: xvfb.poll() is not None or subprocess.run(
                ['xdpyinfo'], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
            if wait_for(answers, 10) and xvfb.poll() is None:
                return xvfb
            # Lost the display to another server starting at the same moment, or it never answered.
            if xvfb.poll() is None:
                xvfb.kill()
            xvfb.wait()
        raise TestFailure('no free X display: :%d and :121-:129 are taken' % wanted)

    def close(self):
        for program in self.programs:
            if program.poll() is None:
                program.kill()
                program.wait()
        subprocess.run(['wineserver', '-k'], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        if os.environ.get('NIMBREL_KEEP_PREFIX'):
            print('prefix kept in', self.prefix)
        else:
            shutil.rmtree(self.prefix, ignore_errors=True)

    def __enter__(self):
        try:
            return self.start()
        except BaseException:
            self.close()
            raise

    def __exit__(self, *exc):
        self.close()
        return False

    # --- commands ---------------------------------------------------------------------------------------------
    def run(self, argv, timeout=60, check_rc=True):
        result = subprocess.run(argv, env=self.env, capture_output=True, timeout=timeout)
        if check_rc and result.returncode != 0:
            raise TestFailure('%s failed (%d): %s' % (' '.join(argv), result.returncode,
                                                       result.stderr.decode(errors='replace').strip()))
        return result

    def wine(self, *args, timeout=120, check_rc=True):
        return self.run(['wine'] + list(args), timeout=timeout, check_rc=check_rc)

    def wine_reg(self, *args):
        return self.wine('reg', *args)

    def start_program(self, unix_path):
        """Starts a Windows program in the background; the Popen's pid is the program's own pid."""
        program = subprocess.Popen(['wine', unix_path], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, cwd='/')
        self.programs.append(program)
        return program

    def xdotool(self, *args, check_rc=True):
        return self.run(['xdotool'] + [str(a) for a in args], check_rc=check_rc)

    # --- paths ------------------------------------------------------------------------------------------------
    def drive_c(self, *parts):
        return os.path.join(self.prefix, 'drive_c', *parts)

    def unix_path(self, windows_path):
        return self.run(['winepath', '-u', windows_path]).stdout.decode().strip()

    def windows_path(self, unix_path):
        return self.run(['winepath', '-w', unix_path]).stdout.decode().strip()

    def shell_folder(self, variable):
        """The Unix path of %variable% as the prefix's programs see it (for example LOCALAPPDATA)."""
        out = self.wine('cmd', '/c', 'echo', '%' + variable + '%').stdout.decode(errors='replace').strip()
        check(out and '%' not in out, 'cannot read %%%s%% in the prefix' % variable)
        return self.unix_path(out)

    def user_shell_folder(self, name):
        """A per-user shell folder (for example 'Programs', 'Startup') from the registry."""
        out = self.wine_reg('query', r'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders',
                            '/v', name).stdout.decode(errors='replace')
        for line in out.splitlines():
            fields = line.strip().split(None, 2)
            if len(fields) == 3 and fields[0] == name:
                return self.unix_path(fields[2])
        raise TestFailure('shell folder %s not found in the registry' % name)

    # --- the pdf recorder -------------------------------------------------------------------------------------
    def route_pdf_to(self, handler_exe):
        """Installs handler_exe as C:\\handlers\\pdfopen.exe and makes it the program that opens .pdf files."""
        os.makedirs(self.drive_c('handlers'), exist_ok=True)
        shutil.copy(handler_exe, self.drive_c('handlers', 'pdfopen.exe'))
        self.wine_reg('add', r'HKCR\.pdf', '/ve', '/d', 'Test.pdf', '/f')
        self.wine_reg('add', r'HKCR\Test.pdf\shell\open\command', '/ve', '/d',
                      r'"C:\handlers\pdfopen.exe" "%1"', '/f')
        return self.drive_c('handlers', 'pdfopen.log')


def read_pdf_records(log_path):
    """The records that pdfopen.exe appended, as a list of dicts."""
    if not os.path.exists(log_path):
        return []
    records, current = [], {}
    with open(log_path, encoding='utf-8', errors='replace', newline='') as log:
        for line in log.read().split('\r\n'):
            if not line:
                continue
            key, _, value = line.partition('=')
            if key == 'cmdline' and current:
                records.append(current)
                current = {}
            current[key] = value
    if current:
        records.append(current)
    return records


def pe_file_version(data):
    """The file version (a, b, c, d) of a Windows program's version resource, or None when it has none.

    Looks for the VS_FIXEDFILEINFO that follows the "VS_VERSION_INFO" key of the resource."""
    import struct
    key = 'VS_VERSION_INFO'.encode('utf-16-le')
    start = data.find(key)
    if start < 0:
        return None
    fixed = data.find(struct.pack('<I', 0xFEEF04BD), start, start + 128)
    if fixed < 0:
        return None
    _, _, ms, ls = struct.unpack_from('<IIII', data, fixed)
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def expected_file_version(version):
    parts = [int(p) for p in version.split('.')]
    return tuple((parts + [0, 0, 0, 0])[:4])


def pe_version_string(data, key):
    """The value of one StringFileInfo entry (for example "CompanyName") of a version resource, or None.

    A String entry is wLength, wValueLength, wType, the key in UTF-16 with its NUL, padding to 32 bits, the value."""
    import struct
    needle = key.encode('utf-16-le') + b'\0\0'
    at = data.find(needle)
    while at >= 6:
        length, value_length, kind = struct.unpack_from('<HHH', data, at - 6)
        if kind == 1 and 0 < value_length <= length:
            start = at + len(needle)
            start += (-(start - (at - 6))) % 4
            return data[start:start + 2 * value_length].decode('utf-16-le').rstrip('\0')
        at = data.find(needle, at + 1)
    return None
