"""What the package tests share: their bar (tests/lab/bar.py) on a 1280 x 1024 display, the prefix's Windows paths
and shell folders, and readers of shell links and version resources. Run with /usr/bin/python3.
"""

import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "lab"))
from bar import Bar, DEFAULT_SETTINGS  # noqa: E402,F401
from lab import Display, Failure, argument_of, check, read_log, run_main, same_path, wait_for  # noqa: E402,F401


def package_bar(name, folder):
    """A lab for one package test; its bar is the Nimbrel.exe in folder, once the package has put it there."""
    return Bar(f"package-{name}", settings=None, folder=folder, display=Display.plain(1280, 1024))


def unix_path(lab, windows_path):
    return lab.run('winepath', '-u', windows_path).stdout.strip()


def windows_path(lab, unix_path):
    return lab.run('winepath', '-w', unix_path).stdout.strip()


def shell_folder(lab, variable):
    """The Unix path of %variable% as the prefix's programs see it (for example LOCALAPPDATA)."""
    out = lab.wine('cmd', '/c', 'echo', '%' + variable + '%').stdout.strip()
    check(out and '%' not in out, 'cannot read %%%s%% in the prefix' % variable)
    return unix_path(lab, out)


def user_shell_folder(lab, name):
    """A per-user shell folder (for example 'Programs', 'Startup') from the registry."""
    out = lab.wine('reg', 'query', r'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders',
                   '/v', name).stdout
    for line in out.splitlines():
        fields = line.strip().split(None, 2)
        if len(fields) == 3 and fields[0] == name:
            return unix_path(lab, fields[2])
    raise Failure('shell folder %s not found in the registry' % name)


def opened(lab):
    """The documents that the shell handed to the lab's recording handler, as (argument, Unix path, is a PDF)."""
    documents = []
    for tag, _, command in read_log(lab.drive_c):
        if tag == 'OPEN':
            argument = argument_of(command)
            path = Path(unix_path(lab, argument))
            documents.append((argument, path, path.is_file() and path.read_bytes()[:5] == b'%PDF-'))
    return documents


def bar_buttons(bar, links=0):
    """The running bar's toolbar: Exit, seven menus, four settings pages, About Me and Help, with two separators; after
    them, as many shown buttons as the Links folder has entries."""
    buttons = bar.toolbar()
    own, after = buttons[:16], buttons[16:]
    check(len(own) == 16 and own[-1].tip == 'Help', 'the bar does not end its own 16 buttons with Help: %r' % buttons)
    separators = [b.index for b in own if b.separator]
    check(len(separators) == 2, 'expected two separators on the bar, found %r' % separators)
    entries = [b for b in after if not b.separator and not b.hidden]
    check(len(entries) == links, 'the bar shows %d Links buttons, expected %d: %r' % (len(entries), links, after))
    return buttons


def start_docked(bar):
    """Starts the bar with the pointer on the top band: it docks at the top and writes its settings file, whose
    bytes this returns."""
    bar.launch()
    bar.wait_docked('TOP', recalled=False, timeout=10)
    return bar.wait_until('a Nimbrel.Txt in %s' % bar.folder, bar.settings_bytes, 5)


def exit_bar(bar, links=0):
    """Ends the bar with its Exit button, calling it back first when it is parked."""
    bar_buttons(bar, links)
    bar.exit()
    print('Exit ended the bar')


def help_opens(bar, folder_windows):
    """Help on the running bar hands folder_windows/nimbrel.pdf, the real PDF, to the PDF handler; the bar parks."""
    bar_buttons(bar)
    bar.click_button('Help')
    documents = bar.wait_until('the PDF handler to run for Help', lambda: opened(bar), 20, 0.25)
    argument, path, pdf = documents[-1]
    print('pdf handler got:', documents[-1])
    expected = folder_windows + '/nimbrel.pdf'
    check(same_path(argument, expected), 'Help opened %r, expected %r' % (argument, expected))
    check(pdf, 'the document handed to the PDF handler is not the PDF of %s: %r' % (folder_windows, documents[-1]))
    bar.wait_parked(5)


# The installer's key for the Start-menu shortcut: HOTKEYF_CONTROL | HOTKEYF_SHIFT | HOTKEYF_ALT over "B".
SHORTCUT_KEY = 0x0742


def link_hotkey(path, value=None):
    """The HotKey field of a shell link (offset 0x40 of its header); with value, the user's own key written there
    as the shortcut's Properties would."""
    data = bytearray(Path(path).read_bytes())
    check(data[:4] == b'\x4c\x00\x00\x00', '%s is not a shell link' % path)
    if value is not None:
        struct.pack_into('<H', data, 0x40, value)
        Path(path).write_bytes(data)
    return struct.unpack_from('<H', data, 0x40)[0]


def pe_file_version(data):
    """The file version (a, b, c, d) of a Windows program's version resource, or None when it has none.

    Looks for the VS_FIXEDFILEINFO that follows the "VS_VERSION_INFO" key of the resource."""
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
