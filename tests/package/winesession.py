"""The package tests' Wine session: a lab (tests/lab/lab.py) on a 1280 x 1024 display, with Windows paths.

close() ends what the session started and removes its prefix (NIMBREL_LAB_KEEP=1 keeps it). Standard library only.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "lab"))
from lab import Display, Failure, Lab, argument_of, check, read_log, run_main, same_path, wait_for  # noqa: E402,F401


class WineSession(Lab):
    def __init__(self, name):
        super().__init__(f"package-{name}", display=Display.plain(1280, 1024))

    def unix_path(self, windows_path):
        return self.run('winepath', '-u', windows_path).stdout.strip()

    def windows_path(self, unix_path):
        return self.run('winepath', '-w', unix_path).stdout.strip()

    def shell_folder(self, variable):
        """The Unix path of %variable% as the prefix's programs see it (for example LOCALAPPDATA)."""
        out = self.wine('cmd', '/c', 'echo', '%' + variable + '%').stdout.strip()
        check(out and '%' not in out, 'cannot read %%%s%% in the prefix' % variable)
        return self.unix_path(out)

    def user_shell_folder(self, name):
        """A per-user shell folder (for example 'Programs', 'Startup') from the registry."""
        out = self.wine('reg', 'query', r'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders',
                        '/v', name).stdout
        for line in out.splitlines():
            fields = line.strip().split(None, 2)
            if len(fields) == 3 and fields[0] == name:
                return self.unix_path(fields[2])
        raise Failure('shell folder %s not found in the registry' % name)

    def opened(self):
        """The documents that the shell handed to the lab's recording handler, as (argument, Unix path, is a PDF)."""
        documents = []
        for tag, _, command in read_log(self.drive_c):
            if tag == 'OPEN':
                argument = argument_of(command)
                path = Path(self.unix_path(argument))
                documents.append((argument, path, path.is_file() and path.read_bytes()[:5] == b'%PDF-'))
        return documents


# The installer's key for the Start-menu shortcut: HOTKEYF_CONTROL | HOTKEYF_SHIFT | HOTKEYF_ALT over "B".
SHORTCUT_KEY = 0x0742


def link_hotkey(path, value=None):
    """The HotKey field of a shell link (offset 0x40 of its header); with value, the user's own key written there
    as the shortcut's Properties would."""
    import struct
    data = bytearray(Path(path).read_bytes())
    check(data[:4] == b'\x4c\x00\x00\x00', '%s is not a shell link' % path)
    if value is not None:
        struct.pack_into('<H', data, 0x40, value)
        Path(path).write_bytes(data)
    return struct.unpack_from('<H', data, 0x40)[0]


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
